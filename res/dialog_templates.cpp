#include "res/dialog_template.h"

#include "console/control_ids.h"
#include "res/port_window_ids.h"
#include "res/version.h"

namespace verdelo {

namespace {

using K = ControlKind;

constexpr ControlTemplate kConsoleControls[] = {
    // Group "Robot Keyboard".
    {-1, K::GroupBox, "Robot Keyboard", 9, 8, 112, 56, kNone},
    {IDC_KEY_0, K::PushButton, "0", 14, 18, 10, 14, kNone},
    {IDC_KEY_1, K::PushButton, "1", 24, 18, 10, 14, kNone},
    {IDC_KEY_2, K::PushButton, "2", 34, 18, 10, 14, kNone},
    {IDC_KEY_3, K::PushButton, "3", 44, 18, 10, 14, kNone},
    {IDC_KEY_4, K::PushButton, "4", 54, 18, 10, 14, kNone},
    {IDC_KEY_5, K::PushButton, "5", 64, 18, 10, 14, kNone},
    {IDC_KEY_6, K::PushButton, "6", 74, 18, 10, 14, kNone},
    {IDC_KEY_7, K::PushButton, "7", 84, 18, 10, 14, kNone},
    {IDC_KEY_8, K::PushButton, "8", 94, 18, 10, 14, kNone},
    {IDC_KEY_9, K::PushButton, "9", 104, 18, 10, 14, kNone},
    {IDC_KEY_SMALL_C, K::PushButton, "c", 19, 32, 12, 14, kNone},
    {IDC_KEY_YES, K::PushButton, "YES", 34, 32, 19, 14, kNone},
    {IDC_KEY_DOWN, K::PushButton, "Down", 56, 32, 23, 14, kNone},
    {IDC_KEY_UP, K::PushButton, "Up", 80, 32, 28, 14, kNone},
    {IDC_KEY_HOME, K::PushButton, "Home", 12, 46, 26, 14, kNone},
    {IDC_KEY_MAN_AUTO, K::PushButton, "Man/Auto", 38, 46, 37, 14, kNone},
    {IDC_KEY_A, K::PushButton, "A", 75, 46, 15, 14, kNone},
    {IDC_KEY_B, K::PushButton, "B", 90, 46, 15, 14, kNone},
    {IDC_KEY_C, K::PushButton, "C", 105, 46, 15, 14, kNone},

    // Group "Robot Mode:".
    {IDC_ROBOT_MODE_GROUP, K::GroupBox, "Robot Mode:", 126, 8, 61, 56, kNone},
    {IDC_ROBOT_MODE, K::Label, "Mode", 143, 18, 24, 8, kNone},
    {IDC_MODE_MAN, K::PushButton, "Man", 129, 27, 23, 14, kNone},
    {IDC_MODE_HOME, K::PushButton, "Home", 161, 27, 23, 14, kNone},
    {IDC_MODE_AUTO, K::PushButton, "Auto", 129, 42, 23, 14, kNone},
    {IDC_MODE_DEMO, K::PushButton, "Demo", 161, 42, 23, 14, kNone},

    // Group "Menu Mode".
    {-1, K::GroupBox, "Menu Mode", 191, 8, 99, 56, kNone},
    {IDC_STOP_STATUS, K::Label, "Stop Status :", 211, 18, 54, 8, kNone},
    {IDC_MENU_NORMAL, K::PushButton, "Normal", 198, 28, 28, 14, kNone},
    {IDC_MENU_TOOLS, K::PushButton, "Tools", 227, 28, 25, 14, kNone},
    {IDC_STOP_TO_ZERO, K::PushButton, "Stop=>0", 254, 28, 34, 14, kNone},
    {IDC_MENU_DEV, K::PushButton, "!Dev!", 198, 42, 28, 14, kDisabled},
    {IDC_STOP_TO_ZERO_DEV, K::PushButton, "Stop=>0 for DEV", 227, 42, 61, 14, kDisabled},

    // Groups "Prg. Load" and "Prg. Save".
    {-1, K::GroupBox, "Prg. Load", 296, 32, 47, 31, kNone},
    {IDC_PRG_LOAD_A, K::PushButton, "A", 298, 42, 14, 14, kNone},
    {IDC_PRG_LOAD_B, K::PushButton, "B", 312, 42, 14, 14, kNone},
    {IDC_PRG_LOAD_C, K::PushButton, "C", 326, 42, 14, 14, kNone},
    {-1, K::GroupBox, "Prg. Save", 345, 32, 47, 31, kNone},
    {IDC_PRG_SAVE_A, K::PushButton, "A", 348, 42, 14, 14, kNone},
    {IDC_PRG_SAVE_B, K::PushButton, "B", 362, 42, 14, 14, kNone},
    {IDC_PRG_SAVE_C, K::PushButton, "C", 376, 42, 14, 14, kNone},

    // Outside the groups.
    {IDC_QUIT, K::DefaultPushButton, "Quit", 393, 7, 21, 12, kNone},
    {IDC_STATUS_VALUE, K::Label, "Status :", 333, 9, 26, 8, kNone},
    {IDC_STATUS_TEXT, K::Label, "", 292, 21, 121, 10, kNoWrap},
    {IDC_DISABLE_VALUES_UPDATE, K::CheckBox, "Disable Values Update", 92, 224, 69, 18, kWrap},
    {IDC_REBOOT, K::PushButton, "Reboot", 7, 225, 33, 14, kNone},
    {IDC_INIT_SETTINGS, K::PushButton, "!!Init Settings!!", 41, 225, 47, 14, kNone},

    // Group "Battery".
    {IDC_BATTERY_GROUP, K::GroupBox, "Battery", 10, 67, 86, 109, kNone},
    {IDC_TEMPERATURE, K::Label, "Temp.(°C) :", 13, 75, 80, 8, kNone},
    {IDC_VOLTAGE, K::Label, "Voltage(mV) :", 14, 85, 80, 8, kNone},
    {-1, K::Label, "Volt.Min. :", 14, 93, 34, 8, kNone},
    {IDC_MIN_VOLTAGE, K::ClickableLabel, "min", 57, 93, 26, 8, kNone},
    {IDC_CURRENT, K::Label, "Current (mA) :", 13, 101, 81, 8, kNone},
    {IDC_CHARGE, K::Label, "Charge (mAh) :", 13, 110, 79, 8, kNone},
    {IDC_MAX_CAPACITY, K::ClickableLabel, "Max. Cap.(mAh) :", 13, 119, 81, 8, kNone},
    {IDC_MAX_CAPACITY_EDIT, K::Edit, "", 15, 128, 42, 12, kNone},
    {IDC_MAX_CAPACITY_CHANGE, K::PushButton, "Change", 61, 128, 30, 12, kNone},
    {IDC_MAX_CHARGE_TIME, K::ClickableLabel, "Max.Ch.Time(min):", 12, 141, 81, 8, kNone},
    {IDC_MAX_CHARGE_TIME_EDIT, K::Edit, "", 15, 149, 42, 12, kNone},
    {IDC_MAX_CHARGE_TIME_CHANGE, K::PushButton, "Change", 61, 149, 30, 12, kNone},
    {IDC_END_CHARGE, K::PushButton, "EndCharge", 14, 162, 41, 12, kNone},
    {IDC_POWER, K::Label, "Power :", 59, 164, 34, 8, kNone},

    // Group "Signals".
    {-1, K::GroupBox, "Signals", 98, 67, 106, 90, kNone},
    {IDC_QUALITY, K::Label, "Quality(0-100) :", 101, 77, 92, 8, kNone},
    {IDC_BOUNDARY_FRONT, K::Label, "Boundary Wire Front Af:", 101, 85, 98, 8, kNone},
    {IDC_BOUNDARY_REAR, K::Label, "Boundary Wire Rear Ar:", 102, 93, 100, 8, kNone},
    {IDC_GUIDE_G1, K::Label, "Guide Wire G1:", 102, 101, 94, 8, kNone},
    {IDC_FAR_SIGNAL, K::Label, "Far signal F:", 102, 109, 62, 8, kNone},
    {IDC_NEAR_SIGNAL, K::Label, "Near signal N:", 102, 117, 62, 8, kNone},
    {IDC_CUTTING_EFFORT, K::ClickableLabel, "Cutting Effort:", 102, 126, 88, 8, kNone},
    {IDC_UPDATE_SIGNALS, K::PushButton, "UpdateSignals", 119, 138, 52, 14, kNone},

    // Group "Scripts".
    {-1, K::GroupBox, "Scripts", 207, 67, 104, 90, kNone},
    {IDC_SCRIPT_STATE, K::Label, "no script running", 215, 75, 88, 8, kNone},
    {IDC_AUTO_AFTER_MAN, K::CheckBox, "Auto after Man", 210, 99, 61, 10, kNone},
    {IDC_MAN_AFTER_AUTO, K::CheckBox, "Man after Auto", 210, 108, 62, 10, kNone},
    {IDC_GO_BACK, K::PushButton, "GoBack", 210, 118, 28, 10, kNone},
    {IDC_AUTO_IF_OUT, K::CheckBox, "Auto if out", 240, 118, 48, 10, kNone},
    {IDC_AUTO_TIMER, K::CheckBox, "AutoTimer", 257, 129, 44, 10, kNone},
    {IDC_PULSE_CHARGE, K::PushButton, "PulsCharge", 214, 132, 41, 12, kNone},
    {IDC_AUTO_VMIN, K::CheckBox, "AutoVmin", 257, 139, 43, 10, kNone},

    // Group "Memory".
    {-1, K::GroupBox, "Memory", 314, 65, 100, 92, kNone},
    {IDC_MEM_BEGIN, K::Edit, "", 337, 74, 42, 12, kNone},
    {-1, K::Label, "Begin:", 315, 76, 21, 8, kNone},
    {IDC_MEM_READ, K::PushButton, "Read", 382, 78, 28, 14, kDisabled | kWrap},
    {IDC_MEM_END, K::Edit, "", 337, 87, 42, 12, kNone},
    {-1, K::Label, "End:", 316, 90, 18, 8, kNone},
    {IDC_MEM_ASCII, K::CheckBox, "ASCII", 317, 99, 29, 10, kNone},
    {IDC_MEM_EVEN_ONLY, K::CheckBox, "Even only", 348, 99, 44, 10, kNone},
    {IDC_MEM_MIN, K::Edit, "", 331, 109, 42, 12, kNone},
    {IDC_MEM_FILTER, K::CheckBox, "Filter", 375, 112, 30, 18, kWrap},
    {-1, K::Label, "Min:", 316, 113, 14, 8, kNone},
    {-1, K::Label, "Max:", 316, 122, 15, 8, kNone},
    {IDC_MEM_MAX, K::Edit, "", 331, 122, 42, 12, kNone},
    {IDC_MEM_TEST_READ, K::CheckBox, "Test Read", 356, 134, 34, 22, kWrap},
    {IDC_MEM_WRITE, K::PushButton, "Write", 323, 138, 30, 14, kDisabled},

    // Group "Square Cutting".
    {-1, K::GroupBox, "Square Cutting", 10, 176, 68, 45, kNone},
    {IDC_SQUARE_CUTTING, K::ClickableLabel, "Status :", 15, 184, 49, 9, kNone},
    {IDC_DISABLE_SQUARE_TIMER, K::CheckBox, "Disable Timer", 16, 193, 57, 12, kWrap},
    {IDC_BING, K::PushButton, "Bing!", 14, 206, 23, 14, kNone},

    // Group "Clock".
    {-1, K::GroupBox, "Clock", 98, 159, 61, 63, kNone},
    {-1, K::Label, "Sec.", 106, 173, 15, 8, kNone},
    {IDC_CLOCK_SECONDS, K::Label, "s", 130, 173, 8, 8, kNone},
    {-1, K::Label, "Min.", 106, 183, 14, 8, kNone},
    {IDC_CLOCK_MINUTES, K::Label, "m", 130, 183, 8, 8, kNone},
    {-1, K::Label, "Hour", 106, 191, 16, 8, kNone},
    {IDC_CLOCK_HOURS, K::Label, "h", 130, 191, 8, 8, kNone},
    {IDC_TIMER_OVERRIDE, K::ClickableLabel, "Timer Override Status :", 104, 200, 49, 19, kWrap},

    // Group "Alarm".
    {-1, K::GroupBox, "Alarm", 163, 159, 61, 47, kNone},
    {IDC_ALARM_IF_NO_RESPONSE, K::CheckBox, "AlarmIfNoResponse", 166, 168, 46, 16, kWrap},
    {IDC_OR_IF_NO_POWER, K::CheckBox, "OrIfnoPower", 166, 184, 51, 10, kNone},

    // Group "Rain".
    {-1, K::GroupBox, "Rain", 163, 208, 61, 32, kNone},
    {IDC_RAIN_LEVEL, K::Label, "Level: ", 166, 217, 53, 10, kNoWrap},
    {IDC_RAIN_OFF, K::PushButton, "off", 167, 227, 18, 11, kNone},
    {IDC_RAIN_ON, K::PushButton, "on", 202, 227, 18, 11, kNone},

    // Group "1-Movement".
    {-1, K::GroupBox, "1-Movement", 227, 157, 96, 83, kNone},
    {IDC_INIT_MOVEMENT, K::PushButton, "Init Movement", 238, 167, 66, 14, kNone},
    {IDC_KEYBOARD, K::CheckBox, "keyboard", 231, 181, 48, 12, kWrap},
    {IDC_LEFT_RIGHT, K::CheckBox, "left/right", 281, 181, 42, 12, kWrap},
    {IDC_FORWARD, K::PushButton, "FORWARD", 271, 194, 41, 14, kNone},
    {IDC_GO, K::PushButton, "GO", 244, 195, 24, 14, kNone},
    {IDC_MOVE_LEFT, K::PushButton, "LEFT", 230, 209, 24, 14, kNone},
    {IDC_MOVE_RIGHT, K::PushButton, "RIGHT", 256, 209, 26, 14, kNone},
    {IDC_MOVE_STOP, K::PushButton, "STOP", 243, 224, 24, 14, kNone},
    {IDC_BACKWARD, K::PushButton, "BACKWARD", 268, 224, 47, 14, kNone},

    // Group "2-Cutting": never enabled.
    {-1, K::GroupBox, "2-Cutting", 326, 157, 82, 53, kNone},
    {IDC_START_CUTTING, K::PushButton, "Start Cutting !", 329, 167, 51, 14, kDisabled},
    {IDC_STOP_CUTTING, K::PushButton, "Stop", 380, 167, 23, 14, kDisabled},
    {-1, K::Label, "Cutting Speed:", 331, 183, 49, 8, kNone},
    {IDC_CUTTING_SPEED_1, K::PushButton, "1", 331, 191, 13, 14, kDisabled},
    {IDC_CUTTING_SPEED_2, K::PushButton, "2", 345, 191, 13, 14, kDisabled},
    {IDC_CUTTING_SPEED_3, K::PushButton, "3", 360, 191, 13, 14, kDisabled},
};

constexpr DialogTemplate kConsoleWindow{102, "Verdelo - Version " VERDELO_VERSION, 1, 1, 421, 242,
                                        kConsoleControls};

// The About box's icon is drawn by the window itself (icon 128), at the
// rectangle of its first entry.
constexpr ControlTemplate kAboutControls[] = {
    {-1, K::Label, "", 11, 17, 21, 20, kNone},
    {-1, K::Label, "Verdelo", 89, 15, 62, 8, kNone},
    {IDOK, K::DefaultPushButton, "OK", 219, 7, 50, 16, kNone},
    {-1, K::Label, "https://verdelo.example.org", 72, 34, 119, 8, kNone},
    {-1, K::Label, "forum: https://forum.verdelo.example.org", 36, 50, 199, 8, kNone},
};

constexpr DialogTemplate kAboutBox{100, "About Verdelo", 0, 0, 276, 94, kAboutControls};

constexpr ControlTemplate kPortControls[] = {
    {port_window::IDC_OK, K::DefaultPushButton, "OK", 263, 7, 50, 16, kNone},
    {port_window::IDC_CANCEL, K::PushButton, "Cancel", 263, 25, 50, 16, kNone},
    {port_window::IDC_OPEN, K::ColorButton, "Open", 102, 21, 50, 16, kNone},
    {port_window::IDC_CLOSE, K::ColorButton, "Close", 155, 21, 50, 16, kNone},
    {port_window::IDC_PORT_LIST, K::ComboBox, "", 14, 22, 56, 12, kNone},
    {port_window::IDC_SPEED_LIST, K::ComboBox, "", 14, 36, 56, 12, kNone},
    {port_window::IDC_STATUS, K::Label, "Static", 123, 12, 65, 8, kNone},
    {port_window::IDC_SEND, K::PushButton, "Send", 8, 52, 22, 16, kDisabled},
    {port_window::IDC_SEND_TEXT, K::Edit, "", 30, 55, 74, 13, kDisabled},
    {-1, K::Label, "TX", 113, 57, 9, 8, kNone},
    {port_window::IDC_CLEAR_TX, K::PushButton, "Clear", 129, 55, 24, 13, kNone},
    {port_window::IDC_TX_LIST, K::ListBox, "", 7, 68, 146, 147, kNone},
    {-1, K::Label, "RX", 237, 58, 10, 8, kNone},
    {port_window::IDC_CLEAR_RX, K::PushButton, "Clear", 167, 55, 24, 13, kNone},
    {port_window::IDC_RX_LIST, K::ListBox, "", 167, 68, 146, 147, kNone},
};

constexpr DialogTemplate kPortWindow{103, "SerialPortControl", -2, 250, 320, 222, kPortControls};

}  // namespace

const DialogTemplate& ConsoleWindowTemplate() { return kConsoleWindow; }
const DialogTemplate& AboutBoxTemplate() { return kAboutBox; }
const DialogTemplate& PortWindowTemplate() { return kPortWindow; }

}  // namespace verdelo
