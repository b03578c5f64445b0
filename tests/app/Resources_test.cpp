// The resources linked into ModuleTool.exe: the icon group the main window
// loads, the manifest that asks for visual styles without elevation, and the
// version block. The program beside this test is read as resource data only;
// none of its code runs.
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "app/Resource.h"
#include "core/Win.h"
#include "support/Beside.h"

namespace {

// Loads the program as an image resource file for each test; owns the handle.
class ProgramResources : public testing::Test {
protected:
    void SetUp() override {
        module_ = LoadLibraryExW(zotest::BesideMe(L"ModuleTool.exe").c_str(), nullptr,
                                 LOAD_LIBRARY_AS_IMAGE_RESOURCE | LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(nullptr, module_) << "cannot load the program, error " << GetLastError();
    }
    void TearDown() override {
        if (module_) FreeLibrary(module_);
    }

    // A copy of one resource's bytes; empty when the program lacks it.
    std::vector<unsigned char> Bytes(LPCWSTR type, LPCWSTR name) const {
        HRSRC info = FindResourceW(module_, name, type);
        if (!info) return {};
        HGLOBAL loaded = LoadResource(module_, info);
        const unsigned char* p = static_cast<const unsigned char*>(LockResource(loaded));
        if (!p) return {};
        return std::vector<unsigned char>(p, p + SizeofResource(module_, info));
    }

    HMODULE module_ = nullptr;
};

unsigned Word(const std::vector<unsigned char>& b, size_t at) { return b[at] | b[at + 1] << 8; }
unsigned long Long(const std::vector<unsigned char>& b, size_t at) {
    return Word(b, at) | static_cast<unsigned long>(Word(b, at + 2)) << 16;
}

// --- Icon group 101 ---------------------------------------------------------

using IconGroup = ProgramResources;

// Each entry of the group names an icon image by id; the image must be the
// 32-bit DIB the entry promises, and its alpha must really be used (an icon
// whose alpha bytes are all zero is drawn through its mask, without the
// smooth edges).
TEST_F(IconGroup, Holds16And32And48PixelImagesWith32BitColourAndAlpha) {
    std::vector<unsigned char> group = Bytes(RT_GROUP_ICON, MAKEINTRESOURCEW(IDI_MAIN));
    ASSERT_GE(group.size(), 6u);
    EXPECT_EQ(1u, Word(group, 2)) << "not an icon group";
    unsigned count = Word(group, 4);
    ASSERT_EQ(6u + 14u * count, group.size());

    std::set<unsigned> sizes;
    for (unsigned i = 0; i < count; ++i) {
        size_t e = 6 + 14 * i;
        unsigned size = group[e], bits = Word(group, e + 6), id = Word(group, e + 12);
        SCOPED_TRACE(testing::Message() << "entry " << i << ", " << size << " pixels, image " << id);
        EXPECT_EQ(size, group[e + 1]) << "not square";
        EXPECT_EQ(32u, bits);
        std::vector<unsigned char> image = Bytes(RT_ICON, MAKEINTRESOURCEW(id));
        ASSERT_EQ(Long(group, e + 8), image.size()) << "the entry's size does not match its image";
        ASSERT_GE(image.size(), 40u + 4u * size * size);
        EXPECT_EQ(40u, Long(image, 0)) << "not a DIB";
        EXPECT_EQ(size, Long(image, 4));
        EXPECT_EQ(2 * size, Long(image, 8)) << "colour and mask height";
        EXPECT_EQ(32u, Word(image, 14));
        unsigned clear = 0, opaque = 0;
        for (size_t px = 0; px < size * size; ++px) {
            unsigned char alpha = image[40 + 4 * px + 3];
            clear += alpha == 0;
            opaque += alpha == 255;
        }
        EXPECT_GT(clear, 0u);
        EXPECT_GT(opaque, 0u);
        sizes.insert(size);
    }
    EXPECT_EQ(1u, sizes.count(16));
    EXPECT_EQ(1u, sizes.count(32));
    EXPECT_EQ(1u, sizes.count(48));
}

// The main window loads its small and big icon this way.
TEST_F(IconGroup, LoadsAt16And32Pixels) {
    for (int size : {16, 32}) {
        SCOPED_TRACE(size);
        HICON icon = static_cast<HICON>(
            LoadImageW(module_, MAKEINTRESOURCEW(IDI_MAIN), IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
        ASSERT_NE(nullptr, icon) << "error " << GetLastError();
        ICONINFO info = {};
        ASSERT_TRUE(GetIconInfo(icon, &info));
        BITMAP colour = {};
        EXPECT_TRUE(info.hbmColor && GetObjectW(info.hbmColor, sizeof colour, &colour));
        EXPECT_EQ(size, colour.bmWidth);
        EXPECT_EQ(size, colour.bmHeight);
        if (info.hbmColor) DeleteObject(info.hbmColor);
        if (info.hbmMask) DeleteObject(info.hbmMask);
        DestroyIcon(icon);
    }
}

// --- Manifest ---------------------------------------------------------------

using Manifest = ProgramResources;

// The text of the first element <tag .../> that contains `mark`; empty if none.
std::string ElementWith(const std::string& xml, const std::string& tag, const std::string& mark) {
    for (size_t at = xml.find("<" + tag); at != std::string::npos; at = xml.find("<" + tag, at + 1)) {
        size_t end = xml.find('>', at);
        if (end == std::string::npos) break;
        std::string element = xml.substr(at, end + 1 - at);
        if (element.find(mark) != std::string::npos) return element;
    }
    return {};
}

TEST_F(Manifest, AsksForCommonControls6AndTheCallersRights) {
    std::vector<unsigned char> bytes = Bytes(RT_MANIFEST, CREATEPROCESS_MANIFEST_RESOURCE_ID);
    ASSERT_FALSE(bytes.empty()) << "no manifest with the id the loader reads";
    std::string xml(bytes.begin(), bytes.end());

    std::string controls = ElementWith(xml, "assemblyIdentity", "\"Microsoft.Windows.Common-Controls\"");
    ASSERT_FALSE(controls.empty()) << xml;
    for (const char* attribute : {"type=\"win32\"", "version=\"6.0.0.0\"", "processorArchitecture=\"*\"",
                                  "publicKeyToken=\"6595b64144ccf1df\"", "language=\"*\""})
        EXPECT_NE(std::string::npos, controls.find(attribute)) << controls;
    EXPECT_NE(std::string::npos, xml.find("<dependentAssembly>")) << xml;

    std::string level = ElementWith(xml, "requestedExecutionLevel", "level=");
    EXPECT_NE(std::string::npos, level.find("level=\"asInvoker\"")) << level;
    EXPECT_NE(std::string::npos, level.find("uiAccess=\"false\"")) << level;
}

// What the loader makes of the manifest when the program starts. One it
// cannot parse, or whose dependency it cannot find, keeps the program from
// starting at all.
TEST_F(Manifest, TheLoaderBindsCommonControls6AndRunsItAsInvoker) {
    std::wstring path = zotest::BesideMe(L"ModuleTool.exe");
    ACTCTXW request = {};
    request.cbSize = sizeof request;
    request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    request.lpSource = path.c_str();
    request.lpResourceName = CREATEPROCESS_MANIFEST_RESOURCE_ID;
    HANDLE context = CreateActCtxW(&request);
    ASSERT_NE(INVALID_HANDLE_VALUE, context) << "the loader refuses the manifest, error " << GetLastError();
    std::unique_ptr<void, decltype(&ReleaseActCtx)> owned(context, &ReleaseActCtx);

    // Assembly 1 is the program itself, 2 the first assembly it depends on.
    DWORD index = 2;
    SIZE_T needed = 0;
    QueryActCtxW(0, context, &index, AssemblyDetailedInformationInActivationContext, nullptr, 0, &needed);
    ASSERT_GE(needed, sizeof(ACTIVATION_CONTEXT_ASSEMBLY_DETAILED_INFORMATION)) << "no dependency was bound";
    std::vector<ULONG_PTR> buffer(needed / sizeof(ULONG_PTR) + 1);
    ASSERT_TRUE(QueryActCtxW(0, context, &index, AssemblyDetailedInformationInActivationContext, buffer.data(),
                             buffer.size() * sizeof(ULONG_PTR), &needed));
    const auto* bound = reinterpret_cast<const ACTIVATION_CONTEXT_ASSEMBLY_DETAILED_INFORMATION*>(buffer.data());
    ASSERT_NE(nullptr, bound->lpAssemblyEncodedAssemblyIdentity);
    std::wstring identity = bound->lpAssemblyEncodedAssemblyIdentity;
    EXPECT_EQ(0u, identity.find(L"Microsoft.Windows.Common-Controls,")) << identity;
    EXPECT_NE(std::wstring::npos, identity.find(L"version=\"6.")) << identity;

    ACTIVATION_CONTEXT_RUN_LEVEL_INFORMATION level = {};
    ASSERT_TRUE(QueryActCtxW(0, context, nullptr, RunlevelInformationInActivationContext, &level, sizeof level,
                             nullptr));
    EXPECT_EQ(ACTCTX_RUN_LEVEL_AS_INVOKER, level.RunLevel);
    EXPECT_EQ(0u, level.UiAccess);
}

// --- Version ----------------------------------------------------------------

using Version = ProgramResources;

// A string of the version block; empty when it is missing.
std::wstring Text(const void* block, const std::wstring& path) {
    void* value = nullptr;
    UINT units = 0;
    if (!VerQueryValueW(block, path.c_str(), &value, &units) || !value) return {};
    return static_cast<const wchar_t*>(value);
}

// The numbers come from Resource.h, where packaging reads them as well; the
// texts must agree with them and name the product in Chinese.
TEST_F(Version, NamesTheProductAndCarriesTheVersionOfResourceH) {
    std::vector<unsigned char> block = Bytes(RT_VERSION, MAKEINTRESOURCEW(VS_VERSION_INFO));
    ASSERT_FALSE(block.empty());

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    ASSERT_EQ(sizeof(VS_FIXEDFILEINFO), length);
    EXPECT_EQ(0xFEEF04BDul, fixed->dwSignature);
    const DWORD high = MAKELONG(APP_VERSION_MINOR, APP_VERSION_MAJOR);
    const DWORD low = MAKELONG(APP_VERSION_BUILD, APP_VERSION_PATCH);
    EXPECT_EQ(high, fixed->dwFileVersionMS);
    EXPECT_EQ(low, fixed->dwFileVersionLS);
    EXPECT_EQ(high, fixed->dwProductVersionMS);
    EXPECT_EQ(low, fixed->dwProductVersionLS);
    EXPECT_EQ(static_cast<DWORD>(VFT_APP), fixed->dwFileType);

    // The string table is found the way Explorer finds it: through the
    // first language and code page of the translation list.
    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&translation), &length));
    ASSERT_GE(length, 4u);
    EXPECT_EQ(0x0804, translation[0]) << "Chinese (PRC)";
    EXPECT_EQ(1200, translation[1]) << "UTF-16";
    wchar_t table[40];
    swprintf(table, 40, L"\\StringFileInfo\\%04X%04X\\", translation[0], translation[1]);

    const std::wstring number = std::to_wstring(APP_VERSION_MAJOR) + L"." + std::to_wstring(APP_VERSION_MINOR) +
                                L"." + std::to_wstring(APP_VERSION_PATCH) + L"." + std::to_wstring(APP_VERSION_BUILD);
    const struct {
        const wchar_t* name;
        std::wstring text;   // empty: any but none
    } strings[] = {
        {L"ProductName", L"网络模块设置工具"},    {L"FileDescription", L"网络模块设置工具"},
        {L"FileVersion", number},               {L"ProductVersion", number},
        {L"OriginalFilename", L"ModuleTool.exe"}, {L"InternalName", L"ModuleTool.exe"},
        {L"CompanyName", L""},                  {L"LegalCopyright", L""},
    };
    for (const auto& s : strings) {
        std::wstring got = Text(block.data(), table + std::wstring(s.name));
        EXPECT_TRUE(s.text.empty() ? !got.empty() : got == s.text) << s.name << " = " << got;
    }
}

} // namespace
