#pragma once
// Root ignores permissions: a permission failure is shown by running one test of this program
// again as the user nobody. The test sees `ChildMode()` set to its mode there and reports
// through its exit code.
#include <QProcessEnvironment>
#include <QString>

namespace corvane::test {

// The mode this process was started in by RunTestAsNobody, or empty.
QString ChildMode();
// Runs the named test of this program as nobody with CORVANE_TEST_CHILD=mode and the extra
// variables; its exit code (-1 when it could not run), with its error output in `output`.
int RunTestAsNobody(const QString& test, const QString& mode, const QProcessEnvironment& extra, QString* output);

} // namespace corvane::test
