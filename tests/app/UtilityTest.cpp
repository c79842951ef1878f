#include "app/Application.h"
#include "app/Utility.h"

#include <gtest/gtest.h>

using namespace corvane::app;

TEST(Utility, MsgBoxCaptionAndPathJoining)
{
    EXPECT_EQ(MsgBoxCaption(""), "Corvane");
    EXPECT_EQ(MsgBoxCaption(QString(40, 'x')).size(), 30);
    EXPECT_EQ(JoinPath("/usr", "bin"), "/usr/bin");
    EXPECT_EQ(JoinPath("/", "usr"), "/usr");
    EXPECT_EQ(JoinPath("", "a"), "a");
    EXPECT_TRUE(ExtensionInList("/x/notes.txt", ".LOG/.TXT/"));
    EXPECT_FALSE(ExtensionInList("/x/notes", ".LOG/.TXT/"));
    EXPECT_FALSE(ExtensionInList("/x/a.tx", ".TXT/"));
    EXPECT_EQ(FileExtension("/a.b/c"), "");
}

TEST(Utility, ExceptionHandlerDropsOnlyInvalidAddressReads)
{
    MsgBoxRecord last;
    SetMsgBoxRecorder(&last);
    TApplication::HandleException("Access violation at address 0. Read of address 0");
    EXPECT_TRUE(last.text.isEmpty());
    TApplication::HandleException("Disk full");
    EXPECT_EQ(last.text, "Disk full");
    EXPECT_EQ(last.caption, "Corvane");
    SetMsgBoxRecorder(nullptr);
}
