// Identifiers of the port window's controls.
#pragma once

namespace verdelo::port_window {

enum PortControlId : int {
  IDC_OK = 1, IDC_CANCEL = 2, IDC_OPEN = 3, IDC_SEND = 4, IDC_CLOSE = 5,
  IDC_RX_LIST = 1000, IDC_CLEAR_RX = 1001, IDC_TX_LIST = 1002, IDC_CLEAR_TX = 1003,
  IDC_PORT_LIST = 1004, IDC_SPEED_LIST = 1005, IDC_STATUS = 1006, IDC_SEND_TEXT = 1007,
};

}  // namespace verdelo::port_window
