// An options page's dialog as the page code sees it (option_page_view).
#pragma once
#include <windows.h>
#include "core/state.h"
#include "ui/options_pages.h"

namespace orvane {

// Timer 1 of the System page: one second after a service command.
constexpr UINT_PTR service_refresh_timer = 1;

class win32_option_page final : public option_page_view {
public:
    win32_option_page(const chronobel_state& state, HWND page) : state_(state), page_(page) {}

    bool has(int id) const override;
    bool checked(int id) const override;
    void set_checked(int id, bool on) override;
    std::uint32_t number(int id) const override;
    void set_number(int id, std::uint32_t value) override;
    int selection(int id) const override;
    void set_selection(int id, int position) override;
    void clear_items(int id) override;
    void insert_item(int id, int position, const std::string& text) override;
    std::string address(int id) const override;
    void set_address(int id, const std::string& text) override;
    filetime date(int id) const override;
    void set_date(int id, filetime value) override;
    void enable(int id, bool enabled) override;
    void set_caption(int id, const std::string& text) override;
    void set_tooltip(int id, const std::string& text) override;
    void set_shield(int id, bool shown) override;
    void start_service_timer() override;

private:
    const chronobel_state& state_;
    HWND page_;
};

// The up-down controls of the page's number boxes take the range 0-99.
void set_number_box_ranges(HWND page);

}  // namespace orvane
