// Renders the windows the manual shows, from a demo folder, into PNG files.
//   corvane_screenshots OUTDIR
#include "app/Globals.h"
#include "app/Mainform.h"
#include "explorer/Child.h"
#include "platform/Registry.h"
#include "shellctl/HeaderSortView.h"
#include "shellctl/ShellControls.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScreen>
#include <QTemporaryDir>
#include <QPainter>
#include <QTest>

using namespace corvane;

namespace {

void write(const QString& path, qint64 size)
{
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(QByteArray(size, 'x'));
}

QString makeDemo(const QString& root)
{
    QString demo = root + QStringLiteral("/Projects/Corvane demo");
    QDir().mkpath(demo + QStringLiteral("/Reports/2026/December"));
    QDir().mkpath(demo + QStringLiteral("/Pictures"));
    QDir().mkpath(demo + QStringLiteral("/Music"));
    write(demo + QStringLiteral("/budget.xls"), 48000);
    write(demo + QStringLiteral("/notes.txt"), 1200);
    write(demo + QStringLiteral("/holiday.jpg"), 2400000);
    write(demo + QStringLiteral("/logo.png"), 35000);
    write(demo + QStringLiteral("/archive.zip"), 5600000);
    write(demo + QStringLiteral("/letter.pdf"), 180000);
    write(demo + QStringLiteral("/script.sh"), 300);
    write(demo + QStringLiteral("/song.mp3"), 4100000);
    return demo;
}

void save(QWidget* w, const QString& file)
{
    QApplication::processEvents();
    w->grab().save(file);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs/screenshots");
    QDir().mkpath(out);
    QTemporaryDir tmp;
    platform::setCurrentUserHive(platform::Hive::inMemory());
    QString demo = makeDemo(tmp.path());

    app::TfrmMain main;
    main.resize(900, 620);
    main.show();
    QTest::qWait(50);
    app::CurShellTree->SelectPath(demo);
    QTest::qWait(50);
    const char* names[] = {"large-icons", "small-icons", "list", "details"};
    QAction* actions[] = {main.actLargeIcons, main.actSmallIcons, main.actList, main.actDetails};
    for (int i = 0; i < 4; ++i) {
        actions[i]->trigger();
        save(&main, out + QStringLiteral("/view-%1.png").arg(QLatin1String(names[i])));
    }
    // Details by size, descending: two clicks on the Size header.
    emit app::CurShellList->Header()->sectionClicked(1);
    emit app::CurShellList->Header()->sectionClicked(1);
    save(&main, out + QStringLiteral("/details-by-size-descending.png"));
    emit app::CurShellList->Header()->sectionClicked(0);

    // The location box opened on a deep folder.
    app::CurShellTree->SelectPath(demo + QStringLiteral("/Reports/2026/December"));
    QTest::qWait(50);
    app::CurShellCombo->showPopup();
    QTest::qWait(100);
    QWidget* popup = app::CurShellCombo->view()->window();
    {
        QPixmap canvas(main.size().expandedTo(QSize(900, 800)));
        canvas.fill(Qt::white);
        QPainter p(&canvas);
        main.render(&p);
        p.drawPixmap(popup->mapToGlobal(QPoint(0, 0)) - main.mapToGlobal(QPoint(0, 0)), popup->grab());
        p.end();
        canvas.save(out + QStringLiteral("/location-combo.png"));
    }
    app::CurShellCombo->hidePopup();

    // The Back menu after five folder changes.
    for (const char* sub : {"", "/Pictures", "/Music", "/Reports", "/Reports/2026"})
        app::CurShellTree->SelectPath(demo + QLatin1String(sub));
    main.mnuBackPopup();
    main.mnuBack->popup(main.mapToGlobal(QPoint(10, 60)));
    QTest::qWait(100);
    {
        QPixmap canvas(main.size());
        QPainter p(&canvas);
        main.render(&p);
        p.drawPixmap(QPoint(10, 60), main.mnuBack->grab());
        p.end();
        canvas.save(out + QStringLiteral("/back-menu.png"));
    }
    main.mnuBack->hide();
    return 0;
}
