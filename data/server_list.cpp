#include "data/server_list.h"

namespace orvane {

int write_default_server_list(chronobel_state&) { return 0; }
int read_server_list(chronobel_state&, server_list_view*, unsigned) { return list_unreadable; }
int refresh_server_list(chronobel_state&, server_list_view*) { return list_unreadable; }

}  // namespace orvane
