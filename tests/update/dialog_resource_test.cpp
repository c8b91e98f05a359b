// Dialog 102 as the program's module carries it: the extended template read
// field by field, texts compared as UTF-16 code units.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "resources/resource.h"
#include "tests/common/resource_reader.h"
#include "tests/update/update_texts.h"

namespace {

constexpr WORD kJapanese = MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT);
constexpr WORD kButtonClass = 0x0080;
constexpr WORD kStaticClass = 0x0082;

struct DialogResource {
    const BYTE* data = nullptr;
    DWORD size = 0;
};

DialogResource LoadDialog(WORD language) {
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC found = FindResourceExW(module, MAKEINTRESOURCEW(5) /* RT_DIALOG */,
                                  MAKEINTRESOURCEW(IDD_UPDATE), language);
    if (!found) {
        return {};
    }
    HGLOBAL loaded = LoadResource(module, found);
    return {static_cast<const BYTE*>(LockResource(loaded)), SizeofResource(module, found)};
}

BOOL CALLBACK CollectLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR languages) {
    reinterpret_cast<std::vector<WORD>*>(languages)->push_back(language);
    return TRUE;
}

TEST(UpdateDialogResource, ExistsInJapaneseOnly) {
    std::vector<WORD> languages;
    EnumResourceLanguagesW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(5),
                           MAKEINTRESOURCEW(IDD_UPDATE), CollectLanguage,
                           reinterpret_cast<LONG_PTR>(&languages));
    EXPECT_EQ(languages, std::vector<WORD>{0x0411});
}

struct ExpectedControl {
    DWORD id;
    WORD classOrdinal;
    DWORD style;
    const wchar_t* text;
    short x, y, cx, cy;
};

// Template order; on screen the two model lines appear the other way round.
const ExpectedControl kControls[] = {
    {IDOK, kButtonClass, 0x50010001, L"OK", 96, 72, 48, 16},
    {IDCANCEL, kButtonClass, 0x50010000, L"Cancel", 152, 72, 48, 16},
    {0xFFFFFFFF, kStaticClass, 0x50020000, kIntroduction, 8, 8, 200, 8},
    {0xFFFFFFFF, kStaticClass, 0x50020000, L"KLS-R30H", 8, 40, 200, 8},
    {0xFFFFFFFF, kStaticClass, 0x50020000, L"KLS-R30W", 8, 24, 200, 8},
    {0xFFFFFFFF, kStaticClass, 0x50020000, kQuestion, 8, 56, 200, 8},
};

TEST(UpdateDialogResource, TemplateHoldsEveryFieldAsDesigned) {
    const DialogResource dialog = LoadDialog(kJapanese);
    ASSERT_NE(dialog.data, nullptr);
    TemplateReader in(dialog.data, dialog.size);

    EXPECT_EQ(in.Read<WORD>(), 1);             // dlgVer
    EXPECT_EQ(in.Read<WORD>(), 0xFFFF);        // signature: extended template
    EXPECT_EQ(in.Read<DWORD>(), 0u);           // helpID
    EXPECT_EQ(in.Read<DWORD>(), 0x00040000u);  // WS_EX_APPWINDOW
    EXPECT_EQ(in.Read<DWORD>(), 0x90C008C0u);  // popup, visible, caption, modal frame, font, centre
    const WORD controls = in.Read<WORD>();
    EXPECT_EQ(in.Read<short>(), 0);
    EXPECT_EQ(in.Read<short>(), 0);
    EXPECT_EQ(in.Read<short>(), 216);
    EXPECT_EQ(in.Read<short>(), 93);
    EXPECT_EQ(in.NameOrOrdinal(), L"");  // no menu
    EXPECT_EQ(in.NameOrOrdinal(), L"");  // the standard dialog class
    EXPECT_EQ(in.String(), kUpdateTitle);
    EXPECT_EQ(in.Read<WORD>(), 8);  // point size
    EXPECT_EQ(in.Read<WORD>(), 0);  // weight
    EXPECT_EQ(in.Read<BYTE>(), 0);  // not italic
    EXPECT_EQ(in.Read<BYTE>(), 1);  // character set
    EXPECT_EQ(in.String(), L"MS Sans Serif");

    ASSERT_EQ(controls, std::size(kControls));
    for (const ExpectedControl& expected : kControls) {
        SCOPED_TRACE(expected.text);
        in.AlignToDword();
        EXPECT_EQ(in.Read<DWORD>(), 0u);  // helpID
        EXPECT_EQ(in.Read<DWORD>(), 0u);  // extended style
        EXPECT_EQ(in.Read<DWORD>(), expected.style);
        EXPECT_EQ(in.Read<short>(), expected.x);
        EXPECT_EQ(in.Read<short>(), expected.y);
        EXPECT_EQ(in.Read<short>(), expected.cx);
        EXPECT_EQ(in.Read<short>(), expected.cy);
        EXPECT_EQ(in.Read<DWORD>(), expected.id);
        EXPECT_EQ(in.NameOrOrdinal(), L"#" + std::to_wstring(expected.classOrdinal));
        EXPECT_EQ(in.String(), expected.text);
        EXPECT_EQ(in.Read<WORD>(), 0);  // no creation data
    }
    EXPECT_FALSE(in.Overrun());
    EXPECT_LT(dialog.size - in.Offset(), 4u) << "bytes after the last control";
}

}  // namespace
