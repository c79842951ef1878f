// Renders the manual's pictures of the shell commands into PNG files.
//   corvane_shell_screenshots OUTDIR
#include "dialogs/FileOpDialogs.h"
#include "dialogs/JobProgress.h"
#include "dialogs/Properties.h"
#include "dialogs/ShellVerbUi.h"
#include "platform/Clipboard.h"
#include "platform/FileOperation.h"
#include "shellctl/ShellControls.h"
#include "shellctl/ShellMenu.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QItemSelectionModel>
#include <QMenu>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace corvane;

namespace {

void write(const QString& path, qint64 size)
{
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.resize(size);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs/screenshots");
    QTemporaryDir tmp;
    const QString demo = tmp.path() + QStringLiteral("/Corvane demo");
    QDir().mkpath(demo + QStringLiteral("/Reports/2026"));
    for (int i = 0; i < 40; ++i)
        write(demo + QStringLiteral("/Reports/2026/report%1.txt").arg(i), 1000 + i * 500);
    write(demo + QStringLiteral("/budget.xls"), 48000);
    write(demo + QStringLiteral("/notes.txt"), 1200);
    write(demo + QStringLiteral("/holiday.jpg"), 2400000);
    app::InstallShellVerbs();

    // The list's menu on two selected files.
    shellctl::TShellList list;
    list.resize(420, 300);
    list.SetViewStyle(shellctl::vsReport);
    list.Folder().SetPath(demo);
    list.show();
    QTest::qWait(200);
    for (int i = 0; i < list.Count(); ++i) {
        const QString name = list.DataOfIndex(i)->DisplayName();
        if (name == QLatin1String("budget.xls") || name == QLatin1String("notes.txt")) {
            list.SelectionModel()->setCurrentIndex(list.Model()->index(i, 0), QItemSelectionModel::NoUpdate);
            list.SelectionModel()->select(list.Model()->index(i, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
    }
    shellctl::SetShellMenuChooser([&](QMenu* menu) {
        menu->adjustSize();
        QPixmap canvas(list.width() + 40, std::max(list.height(), menu->height() + 120));
        canvas.fill(Qt::white);
        QPainter p(&canvas);
        p.drawPixmap(0, 0, list.grab());
        p.drawPixmap(160, 90, menu->grab());
        p.end();
        canvas.save(out + QStringLiteral("/shell-context-menu.png"));
        return 0;
    });
    list.ShowContextMenu(QPoint(160, 60));
    shellctl::SetShellMenuChooser(nullptr);

    // The properties of a folder, once its content is counted.
    platform::VerbTarget folder;
    folder.paths.push_back(demo.toLocal8Bit());
    folder.attrs.push_back(platform::SFGAO_FOLDER);
    {
        app::TfrmProperties props(folder);
        props.show();
        for (int i = 0; i < 50 && !props.CountDone(); ++i)
            QTest::qWait(50);
        QTest::qWait(300);
        props.grab().save(out + QStringLiteral("/shell-properties-folder.png"));
    }

    // The conflict question.
    platform::ConflictQuestion q;
    q.source = (demo + QStringLiteral("/notes.txt")).toLocal8Bit();
    q.target = (demo + QStringLiteral("/Reports/notes.txt")).toLocal8Bit();
    q.sourceSize = 1200;
    q.targetSize = 900;
    q.sourceModified = 1796000000;
    q.targetModified = 1790000000;
    QTimer::singleShot(300, [&] {
        if (QWidget* w = QApplication::activeModalWidget()) {
            w->grab().save(out + QStringLiteral("/shell-conflict.png"));
            w->close();
        }
    });
    app::AskConflict(q, nullptr);

    // Progress of a large copy.
    {
        // Real data: a sparse file would be copied in one step, without progress to show.
        QFile big(demo + QStringLiteral("/disk.img"));
        if (big.open(QIODevice::WriteOnly)) {
            const QByteArray block(1 << 20, 'x');
            for (int i = 0; i < 1024; ++i)
                big.write(block);
        }
    }
    QDir().mkpath(tmp.path() + QStringLiteral("/target"));
    std::unique_ptr<platform::FileOperation> op =
        platform::CopyFiles({(demo + QStringLiteral("/disk.img")).toLocal8Bit()}, (tmp.path() + QStringLiteral("/target")).toLocal8Bit());
    dialogs::TfrmJobProgress dlg(*op, QStringLiteral("Copying"));
    op->start();
    dlg.show();
    for (int i = 0; i < 2; ++i) {
        QTest::qWait(250);
        dlg.UpdateProgress();
    }
    dlg.grab().save(out + QStringLiteral("/shell-progress.png"));
    op->cancel();
    op->wait();
    return 0;
}
