#include "ui/DialogTemplate.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

TEST(DialogTemplate, TheFrameTemplatesParse)
{
    std::ifstream in(VELTRONA_SOURCE_DIR "/resources/dialogs/frame.rc");
    std::stringstream text;
    text << in.rdbuf();
    std::string error;
    auto templates = DialogTemplates::Parse(text.str(), "frame.rc", &error);
    ASSERT_TRUE(templates) << error;
    const DialogTemplate* main = templates->Find(103);
    ASSERT_TRUE(main);
    EXPECT_EQ(main->cx, 579);
    EXPECT_EQ(main->cy, 322);
    EXPECT_TRUE(main->HasStyle("WS_THICKFRAME"));
    EXPECT_EQ(main->caption, "Dialog");
    ASSERT_EQ(main->controls.size(), 6u);
    const ControlTemplate* label = main->Control(201);
    ASSERT_TRUE(label);
    EXPECT_EQ(label->kind, "CTEXT");
    EXPECT_EQ(label->x, 150);
    EXPECT_EQ(label->cx, 422);
    EXPECT_TRUE(label->HasStyle("SS_NOPREFIX"));
    const ControlTemplate* bar = templates->Find(236)->Control(305);
    ASSERT_TRUE(bar);
    EXPECT_EQ(bar->kind, "msctls_progress32");
    EXPECT_EQ(bar->y, 48);
}

TEST(DialogTemplate, BrokenScriptsSayWhereAndWhy)
{
    struct Case
    {
        const char* script;
        const char* error;
    };
    const Case cases[] = {
        {"1 DIALOG 0, 0, 10\nBEGIN\nEND\n", "t.rc:1: DIALOG needs id, x, y, width, height"},
        {"1 DIALOG 0, 0, 10, 10\nBEGIN\n  LTEXT \"a\", 5, 1, 2\nEND\n",
         "t.rc:3: LTEXT needs text, id, x, y, width, height"},
        {"1 DIALOG 0, 0, 10, 10\nBEGIN\n  WIDGET 5, 1, 2, 3, 4\nEND\n", "t.rc:3: unknown control 'WIDGET'"},
        {"1 DIALOG 0, 0, 10, 10\nBEGIN\n  LTEXT \"open, 5, 1, 2, 3, 4\nEND\n",
         "t.rc:3: line break inside a text"},
        {"1 DIALOG 0, 0, 10, 10\nBEGIN\n", "dialog without END"},
        {"1 DIALOG 0, 0, 10, 10\nBEGIN\nEND\n1 DIALOG 0, 0, 5, 5\nBEGIN\nEND\n",
         "t.rc:4: dialog 1 is defined twice"},
        {"LTEXT \"a\", 5, 1, 2, 3, 4\n", "t.rc:1: 'LTEXT' outside a dialog"},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_FALSE(DialogTemplates::Parse(c.script, "t.rc", &error)) << c.script;
        EXPECT_NE(error.find(c.error), std::string::npos) << error;
    }
}

TEST(DialogTemplate, ControlStatementsOfEveryForm)
{
    const char* script = R"(
7 DIALOGEX 0, 0, 100, 50
STYLE WS_CHILD
BEGIN
    EDITTEXT        10, 1, 2, 30, 12, ES_AUTOHSCROLL | ES_NUMBER
    COMBOBOX        11, 1, 20, 30, 80, CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP
    CONTROL         "Use", 12, "Button", BS_AUTOCHECKBOX | NOT WS_TABSTOP, 40, 2, 40, 10
    CONTROL         "", 13, "SysDateTimePick32", DTS_TIMEFORMAT, 40, 20, 40, 12
    GROUPBOX        "Say ""hi""", -1, 0, 0, 100, 50
END)";
    std::string error;
    auto t = DialogTemplates::Parse(script, "t.rc", &error);
    ASSERT_TRUE(t) << error;
    const DialogTemplate* d = t->Find(7);
    ASSERT_EQ(d->controls.size(), 5u);
    EXPECT_TRUE(d->Control(10)->HasStyle("ES_NUMBER"));
    EXPECT_EQ(d->Control(11)->cy, 80);
    EXPECT_EQ(d->Control(12)->kind, "Button");
    EXPECT_FALSE(d->Control(12)->HasStyle("WS_TABSTOP"));
    EXPECT_EQ(d->Control(13)->kind, "SysDateTimePick32");
    EXPECT_EQ(d->Control(-1)->text, "Say \"hi\"");
}
