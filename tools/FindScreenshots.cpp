// Renders the manual's pictures of the find window and the Create Shortcut dialog.
//   corvane_find_screenshots OUTDIR
#include "dialogs/Find.h"
#include "dialogs/NewShortcut.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

using namespace corvane;

namespace {

void write(const QString& path, const QByteArray& text, int copies)
{
    QFile f(path);
    if (f.open(QIODevice::WriteOnly)) {
        for (int i = 0; i < copies; ++i)
            f.write(text);
    }
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs/screenshots");
    QTemporaryDir tmp(QDir::tempPath() + QStringLiteral("/demo-XXXXXX"));
    const QString demo = tmp.path() + QStringLiteral("/Projects");
    for (const char* folder : {"/Corvane/docs", "/Corvane/notes", "/Garden/2026", "/Taxes"})
        QDir().mkpath(demo + QLatin1String(folder));
    write(demo + QStringLiteral("/Corvane/docs/budget.txt"), "Budget for the release\n", 40);
    write(demo + QStringLiteral("/Corvane/notes/meeting 12 May.txt"), "The budget was agreed.\n", 120);
    write(demo + QStringLiteral("/Corvane/notes/ideas.txt"), "Nothing about money.\n", 10);
    write(demo + QStringLiteral("/Garden/2026/seeds budget.txt"), "Seeds: 40, budget left: 12\n", 30);
    write(demo + QStringLiteral("/Garden/2026/planting.md"), "Budget: see the other file\n", 3);
    write(demo + QStringLiteral("/Taxes/2025 BUDGET.TXT"), "BUDGET\n", 900);
    write(demo + QStringLiteral("/Taxes/receipts.txt"), "receipts\n", 100);

    {
        app::TfrmFind find(demo.toLocal8Bit());
        find.txtNamed->setText(QStringLiteral("*.txt"));
        find.txtContaining->setText(QStringLiteral("budget"));
        find.resize(760, 380);
        find.show();
        QSignalSpy done(&find, &app::TfrmFind::SearchFinished);
        find.cmdFindNow->click();
        done.wait(10000);
        find.lstResults->sortByColumn(0, Qt::AscendingOrder);
        find.lstResults->setCurrentIndex(find.Results()->index(1, 0));
        find.lstResults->setFocus();
        QTest::qWait(200);
        find.grab().save(out + QStringLiteral("/find-results.png"));
    }
    {
        app::TfrmNewShortcut dlg(demo.toLocal8Bit());
        dlg.txtTarget->setText(QStringLiteral("https://www.example.org/garden/planting-guide"));
        dlg.show();
        QTest::qWait(200);
        dlg.grab().save(out + QStringLiteral("/new-shortcut.png"));
    }
    return 0;
}
