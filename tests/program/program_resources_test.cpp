// The resources and imports of the built velto1.exe, read from the file.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <cstdio>
#include <string>
#include <vector>

#include "resources/resource.h"
#include "tests/common/resource_reader.h"

namespace {

constexpr WORD kEnglishUs = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
constexpr WORD kJapanese = MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT);

// Resource types, wide whatever the build's character set.
const LPCWSTR kIconType = MAKEINTRESOURCEW(3);
const LPCWSTR kMenuType = MAKEINTRESOURCEW(4);
const LPCWSTR kDialogType = MAKEINTRESOURCEW(5);
const LPCWSTR kStringType = MAKEINTRESOURCEW(6);
const LPCWSTR kAcceleratorType = MAKEINTRESOURCEW(9);
const LPCWSTR kIconGroupType = MAKEINTRESOURCEW(14);
const LPCWSTR kVersionType = MAKEINTRESOURCEW(16);
const LPCWSTR kManifestType = MAKEINTRESOURCEW(24);

std::wstring ProgramPath() {
    wchar_t path[MAX_PATH] = L"";
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    return folder.erase(folder.find_last_of(L"\\/") + 1) + L"velto1.exe";
}

struct Resource {
    const BYTE* data = nullptr;
    DWORD size = 0;
};

class ProgramResources : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        program_ = LoadLibraryExW(ProgramPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    }
    static void TearDownTestSuite() { FreeLibrary(program_); }
    void SetUp() override { ASSERT_NE(program_, nullptr) << "velto1.exe beside the test"; }

    static Resource Find(HMODULE module, LPCWSTR type, WORD id, WORD language) {
        HRSRC found = FindResourceExW(module, type, MAKEINTRESOURCEW(id), language);
        if (!found) {
            return {};
        }
        return {static_cast<const BYTE*>(LockResource(LoadResource(module, found))),
                SizeofResource(module, found)};
    }
    static Resource Find(LPCWSTR type, WORD id, WORD language) {
        return Find(program_, type, id, language);
    }

    static HMODULE program_;
};

HMODULE ProgramResources::program_ = nullptr;

BOOL CALLBACK CollectLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR languages) {
    reinterpret_cast<std::vector<WORD>*>(languages)->push_back(language);
    return TRUE;
}

// Every resource the program ships, each in exactly one language; the small
// icon 108 the window class asks for does not exist, nor does a version.
TEST_F(ProgramResources, InventoryAndLanguages) {
    struct Entry {
        LPCWSTR type;
        WORD id;
        WORD language;
    };
    const Entry entries[] = {
        {kIconGroupType, IDI_VELTO1, kEnglishUs},
        {kMenuType, IDC_VELTO1, kEnglishUs},
        {kAcceleratorType, IDC_VELTO1, kJapanese},
        {kStringType, IDS_APP_TITLE / 16 + 1, kEnglishUs},
        {kDialogType, IDD_ABOUTBOX, kJapanese},
        {kDialogType, IDD_UPDATE, kJapanese},
        {kManifestType, 1, kEnglishUs},
    };
    for (const Entry& entry : entries) {
        std::vector<WORD> languages;
        EnumResourceLanguagesW(program_, entry.type, MAKEINTRESOURCEW(entry.id), CollectLanguage,
                               reinterpret_cast<LONG_PTR>(&languages));
        EXPECT_EQ(languages, std::vector<WORD>{entry.language})
            << "type " << reinterpret_cast<ULONG_PTR>(entry.type) << " id " << entry.id;
    }
    EXPECT_EQ(Find(kIconGroupType, IDI_SMALL, kEnglishUs).data, nullptr);
    EXPECT_EQ(FindResourceW(program_, MAKEINTRESOURCEW(1), kVersionType), nullptr);
}

TEST_F(ProgramResources, IconIsOne48By48ImageOf32Bits) {
    const Resource group = Find(kIconGroupType, IDI_VELTO1, kEnglishUs);
    ASSERT_NE(group.data, nullptr);
    TemplateReader in(group.data, group.size);
    EXPECT_EQ(in.Read<WORD>(), 0);  // reserved
    EXPECT_EQ(in.Read<WORD>(), 1);  // icon
    ASSERT_EQ(in.Read<WORD>(), 1);  // one image
    EXPECT_EQ(in.Read<BYTE>(), 48);
    EXPECT_EQ(in.Read<BYTE>(), 48);
    EXPECT_EQ(in.Read<BYTE>(), 0);  // no palette
    in.Read<BYTE>();
    EXPECT_EQ(in.Read<WORD>(), 1);   // planes
    EXPECT_EQ(in.Read<WORD>(), 32);  // bits per pixel
    const DWORD imageSize = in.Read<DWORD>();
    const WORD imageId = in.Read<WORD>();
    ASSERT_FALSE(in.Overrun());

    const Resource image = Find(kIconType, imageId, kEnglishUs);
    ASSERT_NE(image.data, nullptr);
    EXPECT_EQ(image.size, imageSize);
    BITMAPINFOHEADER header;
    ASSERT_GE(image.size, sizeof header);
    std::memcpy(&header, image.data, sizeof header);
    EXPECT_EQ(header.biWidth, 48);
    EXPECT_EQ(header.biHeight, 96);  // colour and mask
    EXPECT_EQ(header.biBitCount, 32);
}

TEST_F(ProgramResources, MenuHasFileExitAndHelpAbout) {
    const Resource menu = Find(kMenuType, IDC_VELTO1, kEnglishUs);
    ASSERT_NE(menu.data, nullptr);
    HMENU loaded = LoadMenuIndirectW(menu.data);
    ASSERT_NE(loaded, nullptr);
    wchar_t text[64];
    ASSERT_EQ(GetMenuItemCount(loaded), 2);
    GetMenuStringW(loaded, 0, text, 64, MF_BYPOSITION);
    EXPECT_STREQ(text, L"&File");
    GetMenuStringW(loaded, 1, text, 64, MF_BYPOSITION);
    EXPECT_STREQ(text, L"&Help");
    HMENU file = GetSubMenu(loaded, 0);
    HMENU help = GetSubMenu(loaded, 1);
    ASSERT_EQ(GetMenuItemCount(file), 1);
    ASSERT_EQ(GetMenuItemCount(help), 1);
    EXPECT_EQ(GetMenuItemID(file, 0), static_cast<UINT>(IDM_EXIT));
    GetMenuStringW(file, 0, text, 64, MF_BYPOSITION);
    EXPECT_STREQ(text, L"E&xit");
    EXPECT_EQ(GetMenuItemID(help, 0), static_cast<UINT>(IDM_ABOUT));
    GetMenuStringW(help, 0, text, 64, MF_BYPOSITION);
    EXPECT_STREQ(text, L"&About ...");
    DestroyMenu(loaded);
}

TEST_F(ProgramResources, AcceleratorsAreAltQuestionMarkAndAltSlash) {
    const Resource table = Find(kAcceleratorType, IDC_VELTO1, kJapanese);
    ASSERT_NE(table.data, nullptr);
    ASSERT_EQ(table.size, 16u);  // two 8-byte entries
    TemplateReader in(table.data, table.size);
    struct Entry {
        WORD flags, key, command;
    };
    // FALT, character codes (no FVIRTKEY); the last entry carries the end mark 0x80.
    const Entry expected[] = {{0x10, '?', IDM_ABOUT}, {0x90, '/', IDM_ABOUT}};
    for (const Entry& entry : expected) {
        EXPECT_EQ(in.Read<WORD>(), entry.flags);
        EXPECT_EQ(in.Read<WORD>(), entry.key);
        EXPECT_EQ(in.Read<WORD>(), entry.command);
        in.Read<WORD>();  // padding
    }
}

TEST_F(ProgramResources, StringTableHoldsTitleTextAndClassName) {
    const Resource block = Find(kStringType, IDS_APP_TITLE / 16 + 1, kEnglishUs);
    ASSERT_NE(block.data, nullptr);
    TemplateReader in(block.data, block.size);
    std::vector<std::wstring> strings;
    for (int i = 0; i < 16; ++i) {
        std::wstring text(in.Read<WORD>(), L'\0');
        for (wchar_t& unit : text) {
            unit = static_cast<wchar_t>(in.Read<WORD>());
        }
        strings.push_back(text);
    }
    ASSERT_FALSE(in.Overrun());
    const int first = (IDS_APP_TITLE / 16) * 16;
    for (int i = 0; i < 16; ++i) {
        const int id = first + i;
        const wchar_t* expected = id == IDS_APP_TITLE ? L"velto1"
                                  : id == IDS_HELLO   ? L"Hello World!"
                                  : id == IDC_VELTO1  ? L"VELTO1"
                                                      : L"";
        EXPECT_EQ(strings[static_cast<size_t>(i)], expected) << "string " << id;
    }
}

TEST_F(ProgramResources, AboutBoxTemplate) {
    const Resource dialog = Find(kDialogType, IDD_ABOUTBOX, kJapanese);
    ASSERT_NE(dialog.data, nullptr);
    TemplateReader in(dialog.data, dialog.size);
    EXPECT_EQ(in.Read<WORD>(), 1);
    EXPECT_EQ(in.Read<WORD>(), 0xFFFF);        // extended template
    EXPECT_EQ(in.Read<DWORD>(), 0u);           // help id
    EXPECT_EQ(in.Read<DWORD>(), 0u);           // no extended style
    EXPECT_EQ(in.Read<DWORD>(), 0x00C800C0u);  // caption, system menu, modal frame, font
    ASSERT_EQ(in.Read<WORD>(), 3);
    EXPECT_EQ(in.Read<short>(), 22);
    EXPECT_EQ(in.Read<short>(), 17);
    EXPECT_EQ(in.Read<short>(), 186);
    EXPECT_EQ(in.Read<short>(), 61);
    EXPECT_EQ(in.NameOrOrdinal(), L"");
    EXPECT_EQ(in.NameOrOrdinal(), L"");
    EXPECT_EQ(in.String(), L"About");
    EXPECT_EQ(in.Read<WORD>(), 8);
    in.Read<WORD>();  // weight
    in.Read<BYTE>();  // italic
    in.Read<BYTE>();  // character set
    EXPECT_EQ(in.String(), L"System");

    struct Control {
        DWORD id;
        WORD classOrdinal;
        DWORD style;
        short x, y, cx, cy;
    };
    const Control controls[] = {
        {2, 0x82, 0x50000003, 8, 8, 16, 16},
        {0xFFFFFFFF, 0x82, 0x50020000, 8, 24, 175, 8},
        {IDOK, 0x80, 0x50030001, 144, 40, 30, 11},
    };
    std::vector<std::wstring> texts;
    for (const Control& expected : controls) {
        in.AlignToDword();
        EXPECT_EQ(in.Read<DWORD>(), 0u);
        EXPECT_EQ(in.Read<DWORD>(), 0u);
        EXPECT_EQ(in.Read<DWORD>(), expected.style);
        EXPECT_EQ(in.Read<short>(), expected.x);
        EXPECT_EQ(in.Read<short>(), expected.y);
        EXPECT_EQ(in.Read<short>(), expected.cx);
        EXPECT_EQ(in.Read<short>(), expected.cy);
        EXPECT_EQ(in.Read<DWORD>(), expected.id);
        EXPECT_EQ(in.NameOrOrdinal(), L"#" + std::to_wstring(expected.classOrdinal));
        texts.push_back(in.NameOrOrdinal());
        EXPECT_EQ(in.Read<WORD>(), 0);
    }
    EXPECT_FALSE(in.Overrun());
    EXPECT_EQ(texts[0], L"#107");  // the program icon
    EXPECT_EQ(texts[1].rfind(L"ラピコ(映像版)アップデート ", 0), 0u);
    EXPECT_NE(texts[1].find(L"Copyright"), std::wstring::npos);
    EXPECT_EQ(texts[2], L"OK");
}

// The update dialog in the program is the very template the dialog tests read.
TEST_F(ProgramResources, UpdateDialogIsTheTestedTemplate) {
    const Resource shipped = Find(kDialogType, IDD_UPDATE, kJapanese);
    const Resource tested = Find(GetModuleHandleW(nullptr), kDialogType, IDD_UPDATE, kJapanese);
    ASSERT_NE(shipped.data, nullptr);
    ASSERT_NE(tested.data, nullptr);
    ASSERT_EQ(shipped.size, tested.size);
    EXPECT_EQ(std::memcmp(shipped.data, tested.data, shipped.size), 0);
}

TEST_F(ProgramResources, ManifestAsksForTheInvokersRightsOnly) {
    const Resource manifest = Find(kManifestType, 1, kEnglishUs);
    ASSERT_NE(manifest.data, nullptr);
    const std::string text(reinterpret_cast<const char*>(manifest.data), manifest.size);
    EXPECT_NE(text.find(R"(<requestedExecutionLevel level="asInvoker" uiAccess="false"/>)"),
              std::string::npos);
    EXPECT_EQ(text.find("dependency"), std::string::npos);
    EXPECT_EQ(text.find("compatibility"), std::string::npos);
    EXPECT_EQ(text.find("dpiAware"), std::string::npos);
}

// The release check: the program imports only DLLs that every Windows has, so
// the one file runs as downloaded.
TEST(ProgramImports, OnlyWindowsSystemDlls) {
    std::vector<char> image;
    if (FILE* file = _wfopen(ProgramPath().c_str(), L"rb")) {
        char chunk[4096];
        for (size_t got; (got = fread(chunk, 1, sizeof chunk, file)) > 0;) {
            image.insert(image.end(), chunk, chunk + got);
        }
        fclose(file);
    }
    ASSERT_GT(image.size(), 0x400u);
    auto at = [&](size_t offset, size_t size) -> const char* {
        return offset + size <= image.size() ? image.data() + offset : nullptr;
    };
    IMAGE_DOS_HEADER dos;
    std::memcpy(&dos, at(0, sizeof dos), sizeof dos);
    IMAGE_NT_HEADERS64 nt;
    ASSERT_NE(at(static_cast<size_t>(dos.e_lfanew), sizeof nt), nullptr);
    std::memcpy(&nt, at(static_cast<size_t>(dos.e_lfanew), sizeof nt), sizeof nt);
    ASSERT_EQ(nt.OptionalHeader.Magic, IMAGE_NT_OPTIONAL_HDR64_MAGIC);
    const size_t sections = static_cast<size_t>(dos.e_lfanew) +
                            offsetof(IMAGE_NT_HEADERS64, OptionalHeader) +
                            nt.FileHeader.SizeOfOptionalHeader;
    auto fileOffset = [&](DWORD rva) -> size_t {
        for (WORD i = 0; i < nt.FileHeader.NumberOfSections; ++i) {
            IMAGE_SECTION_HEADER section;
            std::memcpy(&section, at(sections + i * sizeof section, sizeof section),
                        sizeof section);
            if (rva >= section.VirtualAddress &&
                rva < section.VirtualAddress + section.SizeOfRawData) {
                return rva - section.VirtualAddress + section.PointerToRawData;
            }
        }
        return 0;
    };
    const DWORD importRva =
        nt.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
    std::vector<std::string> dlls;
    for (size_t entry = fileOffset(importRva);; entry += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        IMAGE_IMPORT_DESCRIPTOR descriptor;
        ASSERT_NE(at(entry, sizeof descriptor), nullptr);
        std::memcpy(&descriptor, at(entry, sizeof descriptor), sizeof descriptor);
        if (descriptor.Name == 0) {
            break;
        }
        std::string name(at(fileOffset(descriptor.Name), 1));
        std::transform(name.begin(), name.end(), name.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        dlls.push_back(name);
    }
    const std::vector<std::string> system = {"advapi32.dll", "gdi32.dll",   "kernel32.dll",
                                             "msvcrt.dll",   "ole32.dll",   "oleaut32.dll",
                                             "user32.dll",   "shell32.dll", "comctl32.dll"};
    ASSERT_FALSE(dlls.empty());
    for (const std::string& dll : dlls) {
        EXPECT_NE(std::find(system.begin(), system.end(), dll), system.end())
            << dll << " is not a Windows system DLL";
    }
}

}  // namespace
