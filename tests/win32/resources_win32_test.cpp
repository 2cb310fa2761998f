// The program's resources as Windows reads them: the main window's dialog
// template control by control, the icon in both sizes, the manifest, and
// the event log's messages as the Event Viewer composes them.
#include <gtest/gtest.h>
#include <windows.h>
#include <cstring>
#include <cwctype>
#include <string>
#include <vector>
#include "platform/event_log.h"
#include "resources/resource_ids.h"

namespace {

// A reader of the DLGTEMPLATEEX layout: words, double words, and the
// "string or ordinal" fields, aligned as the format lays them out.
class template_reader {
public:
    template_reader(const unsigned char* bytes, std::size_t size) : bytes_(bytes), size_(size) {}

    std::uint16_t word() { return take<std::uint16_t>(); }
    std::uint32_t dword() { return take<std::uint32_t>(); }
    std::int16_t coordinate() { return take<std::int16_t>(); }
    std::uint8_t byte() { return take<std::uint8_t>(); }
    // An ordinal comes back as "#<number>", a string as itself, none as "".
    std::wstring text_or_ordinal() {
        const std::uint16_t first = word();
        if (first == 0) return {};
        if (first == 0xFFFF) return L"#" + std::to_wstring(word());
        std::wstring text(1, static_cast<wchar_t>(first));
        for (std::uint16_t c = word(); c != 0; c = word()) text += static_cast<wchar_t>(c);
        return text;
    }
    std::wstring text() {
        std::wstring out;
        for (std::uint16_t c = word(); c != 0; c = word()) out += static_cast<wchar_t>(c);
        return out;
    }
    void align_to_dword() { at_ = (at_ + 3) & ~std::size_t{3}; }
    void skip(std::size_t n) { at_ += n; }
    bool overran() const { return at_ > size_; }

private:
    template <typename T>
    T take() {
        T value{};
        if (at_ + sizeof value <= size_) std::memcpy(&value, bytes_ + at_, sizeof value);
        at_ += sizeof value;
        return value;
    }
    const unsigned char* bytes_;
    std::size_t size_;
    std::size_t at_ = 0;
};

struct dialog_item {
    std::uint32_t style;
    int x, y, cx, cy;
    int id;
    std::wstring window_class;
    std::wstring text;
};

std::pair<const unsigned char*, std::size_t> resource_bytes(const wchar_t* name, const wchar_t* type) {
    HRSRC found = FindResourceW(nullptr, name, type);
    if (!found) return {nullptr, 0};
    return {static_cast<const unsigned char*>(LockResource(LoadResource(nullptr, found))),
            SizeofResource(nullptr, found)};
}

// Window class names are compared without regard to case.
std::wstring upper_case(std::wstring text) {
    for (wchar_t& c : text) c = static_cast<wchar_t>(towupper(c));
    return text;
}

// A control class as its name: a template may name a predefined class by its
// ordinal or by its name, in any case.
std::wstring class_name(const std::wstring& in_template) {
    if (in_template == L"#128") return L"BUTTON";
    if (in_template == L"#130") return L"STATIC";
    return upper_case(in_template);
}
const std::wstring button_class = L"BUTTON";
const std::wstring static_class = L"STATIC";

}  // namespace

TEST(MainWindowTemplate, HasEveryControlAtItsPlaceWithItsPlaceholderText) {
    const auto [bytes, size] = resource_bytes(MAKEINTRESOURCEW(IDD_MAIN_WINDOW), RT_DIALOG);
    ASSERT_NE(bytes, nullptr);
    template_reader in(bytes, size);
    EXPECT_EQ(in.word(), 1);       // dlgVer
    EXPECT_EQ(in.word(), 0xFFFF);  // an extended template
    in.dword();                    // help id
    EXPECT_EQ(in.dword(), 0u);     // extended style
    const std::uint32_t style = in.dword();
    EXPECT_EQ(style, static_cast<std::uint32_t>(WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_MODALFRAME | DS_CENTER |
                                                DS_SETFOREGROUND | DS_SETFONT));
    const int count = in.word();
    EXPECT_EQ(in.coordinate(), 100);
    EXPECT_EQ(in.coordinate(), 100);
    EXPECT_EQ(in.coordinate(), 267);
    EXPECT_EQ(in.coordinate(), 79);
    EXPECT_EQ(in.text_or_ordinal(), L"");           // no menu
    EXPECT_EQ(upper_case(in.text_or_ordinal()), L"CHRONOBEL");  // the window class, named in any case
    EXPECT_EQ(in.text(), L"Chronobel");             // the caption
    EXPECT_EQ(in.word(), 8);                        // point size
    in.word();                                      // weight
    in.byte();                                      // italic
    in.byte();                                      // character set
    EXPECT_EQ(in.text(), L"MS Sans Serif");

    std::vector<dialog_item> items;
    for (int i = 0; i < count; ++i) {
        in.align_to_dword();
        dialog_item item{};
        in.dword();  // help id
        in.dword();  // extended style
        item.style = in.dword();
        item.x = in.coordinate();
        item.y = in.coordinate();
        item.cx = in.coordinate();
        item.cy = in.coordinate();
        item.id = static_cast<int>(in.dword());
        item.window_class = class_name(in.text_or_ordinal());
        item.text = in.text_or_ordinal();
        in.skip(in.word());  // creation data
        items.push_back(item);
    }
    ASSERT_FALSE(in.overran());

    struct expected_item {
        int id, x, y, cx, cy;
        const std::wstring& window_class;
        std::wstring text;
        std::uint32_t kind;  // the control's own style bits that matter
    };
    const expected_item expected[] = {
        {1, 30, 63, 50, 14, button_class, L"Check", BS_DEFPUSHBUTTON},
        {3, 83, 63, 50, 14, button_class, L"Correct", BS_PUSHBUTTON},
        {101, 136, 63, 42, 14, button_class, L"Options", BS_PUSHBUTTON},
        {1001, 180, 63, 42, 14, button_class, L"Time Zone", BS_PUSHBUTTON},
        {5, 224, 63, 42, 14, button_class, L"About", BS_PUSHBUTTON},
        {-1, 3, 58, 20, 20, static_class, L"#500", SS_ICON},
        {1031, 3, 3, 126, 8, static_class, L"", SS_LEFT},
        {1029, 3, 14, 130, 25, static_class, L"", SS_LEFT | SS_SUNKEN},
        {1032, 136, 3, 128, 8, static_class, L"Server", SS_LEFT},
        {1030, 136, 14, 130, 25, static_class, L"Not Checked Yet", SS_LEFT | SS_SUNKEN},
        {1000, 3, 43, 263, 10, static_class, L"", SS_LEFT | SS_SUNKEN},
    };
    ASSERT_EQ(items.size(), std::size(expected));
    for (std::size_t i = 0; i < items.size(); ++i) {
        const dialog_item& got = items[i];
        const expected_item& want = expected[i];
        SCOPED_TRACE("control " + std::to_string(want.id));
        EXPECT_EQ(got.id, want.id);
        EXPECT_EQ(got.x, want.x);
        EXPECT_EQ(got.y, want.y);
        EXPECT_EQ(got.cx, want.cx);
        EXPECT_EQ(got.cy, want.cy);
        EXPECT_EQ(got.window_class, want.window_class);
        EXPECT_EQ(got.text, want.text);
        EXPECT_TRUE(got.style & WS_VISIBLE);
        EXPECT_TRUE(got.style & WS_CHILD);
        const std::uint32_t own_bits = want.window_class == button_class ? (got.style & BS_TYPEMASK)
                                                                          : (got.style & (SS_TYPEMASK | SS_SUNKEN));
        EXPECT_EQ(own_bits, want.kind);
    }
}

TEST(ProgramResources, TheIconComesInBothSizesAndTheManifestAsksForCommonControlsSix) {
    for (int size : {16, 32}) {
        HICON icon = static_cast<HICON>(
            LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_CHRONOBEL), IMAGE_ICON, size, size, 0));
        ASSERT_NE(icon, nullptr) << size;
        ICONINFO info{};
        ASSERT_TRUE(GetIconInfo(icon, &info));
        BITMAP mask{};
        GetObjectW(info.hbmMask, sizeof mask, &mask);
        EXPECT_EQ(mask.bmWidth, size);
        if (info.hbmColor) DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        DestroyIcon(icon);
    }
    // Both sizes are stored as images of their own, not scaled from one.
    const auto [group, group_size] = resource_bytes(MAKEINTRESOURCEW(IDI_CHRONOBEL), RT_GROUP_ICON);
    ASSERT_GE(group_size, 6u);
    std::uint16_t images = 0;
    std::memcpy(&images, group + 4, sizeof images);
    EXPECT_EQ(images, 2);

    const auto [manifest, manifest_size] = resource_bytes(MAKEINTRESOURCEW(1), RT_MANIFEST);
    ASSERT_NE(manifest, nullptr);
    const std::string text(reinterpret_cast<const char*>(manifest), manifest_size);
    EXPECT_NE(text.find("Microsoft.Windows.Common-Controls"), std::string::npos);
    EXPECT_NE(text.find("version=\"6.0.0.0\""), std::string::npos);
    EXPECT_NE(text.find("level=\"asInvoker\""), std::string::npos);
}

namespace {

// The sentence the Event Viewer shows for message `id` and its insertion
// strings, from this program's message table.
std::wstring event_text(orvane::event_message id, std::vector<const wchar_t*> strings) {
    std::vector<DWORD_PTR> arguments;
    for (const wchar_t* s : strings) arguments.push_back(reinterpret_cast<DWORD_PTR>(s));
    wchar_t text[512] = {};
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY,
                                        GetModuleHandleW(nullptr), static_cast<DWORD>(id), 0, text, 512,
                                        reinterpret_cast<va_list*>(arguments.data()));
    return std::wstring(text, length);
}

}  // namespace

TEST(ProgramResources, TheEventMessagesReadAsOneSentenceWithTheirServerAndDifference) {
    using orvane::event_message;
    EXPECT_EQ(event_text(event_message::clock_corrected, {L"time.example.org", L"2.50000"}),
              L"Chronobel corrected the clock by 2.50000 seconds from time.example.org.\r\n");
    EXPECT_EQ(event_text(event_message::auto_failed, {L"time.example.org", L"Time out on time.example.org"}),
              L"Chronobel's automatic correction from time.example.org failed: Time out on time.example.org.\r\n");
    EXPECT_EQ(event_text(event_message::service_started, {}), L"The Chronobel service started.\r\n");
    // Every message the program names is in the table.
    for (std::uint32_t id = 1; id <= static_cast<std::uint32_t>(event_message::service_notice); ++id)
        EXPECT_FALSE(event_text(static_cast<event_message>(id), {L"a", L"b"}).empty()) << id;
}
