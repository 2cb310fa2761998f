// The data files built into the program.
#pragma once
#include <string_view>

namespace orvane {

// Custom resources of the program: the default UI string table and the
// default server list. Both programs carry the same bytes.
constexpr int resource_ui_strings = 8888;
constexpr int resource_server_list = 8889;

// The bytes of built-in resource `id` (type and name both `id`); empty when
// there is none.
std::string_view builtin_resource(int id);

}  // namespace orvane
