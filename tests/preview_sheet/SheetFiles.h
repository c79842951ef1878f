#pragma once
// Spreadsheets made for the tests by LibreOffice from a CSV file, and hand-written workbooks.
#include <QByteArray>
#include <QString>

#include <utility>
#include <vector>

namespace corvane::test {

// The CSV every converted sheet is made of: 3 rows of 30 texts "r<row>c<column>", then a row
// with a number, a date, a boolean and a text.
QByteArray SheetCsv();
// The CSV converted by LibreOffice into `format` ("xls", "xlsx", "ods"), made once per run and
// kept in a folder of the run; empty when LibreOffice failed.
QString ConvertedSheet(const QString& format);
// A zip archive of the given (name, content) parts, written with Info-ZIP zip.
QByteArray ZipOf(const std::vector<std::pair<QString, QByteArray>>& parts);

} // namespace corvane::test
