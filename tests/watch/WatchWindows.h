#pragma once
// Small windows holding the watching controls, with a record of their refreshes.
#include "shellctl/ChangeHandler.h"
#include "shellctl/ShellList.h"
#include "shellctl/ShellTree.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>
#include <vector>

namespace corvane::test {

// A tree linked to a list, or a list alone, beside a line edit that can take the focus.
struct WatchWindow {
    QWidget Window;
    shellctl::TShellTree* Tree = nullptr;
    shellctl::TShellList* List = nullptr;
    QLineEdit* Other = nullptr;
    QElapsedTimer Clock;
    std::vector<qint64> TreeRefreshes, ListRefreshes;

    explicit WatchWindow(bool withTree)
    {
        auto* layout = new QVBoxLayout(&Window);
        if (withTree) {
            Tree = new shellctl::TShellTree(&Window);
            layout->addWidget(Tree);
        }
        List = new shellctl::TShellList(&Window);
        Other = new QLineEdit(&Window);
        layout->addWidget(List);
        layout->addWidget(Other);
        Window.resize(500, 600);
        Window.show();
        QApplication::setActiveWindow(&Window);
        EXPECT_TRUE(QTest::qWaitForWindowActive(&Window));
        Clock.start();
        if (Tree) {
            Tree->SetShellList(List);
            Tree->OnFillStart = [this](QObject*) { TreeRefreshes.push_back(Clock.elapsed()); };
        }
        List->OnFillStart = [this](QObject*) { ListRefreshes.push_back(Clock.elapsed()); };
    }

    void Focus(QWidget* w)
    {
        w->setFocus();
        QCoreApplication::processEvents();
    }
    void FocusList() { Focus(List->CurrentView()); }
    bool ListFocused() const
    {
        QWidget* f = QApplication::focusWidget();
        return f && List->isAncestorOf(f);
    }
    // Lets the controls bring their watches up to date.
    static void Settle()
    {
        QTest::qWait(20);
    }
};

inline QStringList ListNames(shellctl::TShellList* list)
{
    QStringList names;
    for (int i = 0; i < list->Count(); ++i)
        names << list->DataOfIndex(i)->FileName();
    names.sort();
    return names;
}

inline QStringList ChildNames(QTreeWidgetItem* node)
{
    QStringList names;
    for (int i = 0; node && i < node->childCount(); ++i)
        names << node->child(i)->text(0);
    names.sort();
    return names;
}

} // namespace corvane::test
