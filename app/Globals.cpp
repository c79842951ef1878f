// Program-wide references and helpers.
