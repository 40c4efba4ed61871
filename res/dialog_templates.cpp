#include "res/dialog_template.h"

namespace verdelo {

namespace {

using K = ControlKind;

constexpr ControlTemplate kConsoleControls[] = {
    // Group "Robot Keyboard".
    {-1, K::GroupBox, "Robot Keyboard", 9, 8, 112, 56, kNone},
    {1004, K::PushButton, "0", 14, 18, 10, 14, kNone},
    {1011, K::PushButton, "1", 24, 18, 10, 14, kNone},
    {1012, K::PushButton, "2", 34, 18, 10, 14, kNone},
    {1013, K::PushButton, "3", 44, 18, 10, 14, kNone},
    {1014, K::PushButton, "4", 54, 18, 10, 14, kNone},
    {1015, K::PushButton, "5", 64, 18, 10, 14, kNone},
    {1016, K::PushButton, "6", 74, 18, 10, 14, kNone},
    {1017, K::PushButton, "7", 84, 18, 10, 14, kNone},
    {1018, K::PushButton, "8", 94, 18, 10, 14, kNone},
    {1019, K::PushButton, "9", 104, 18, 10, 14, kNone},
    {1001, K::PushButton, "c", 19, 32, 12, 14, kNone},
    {1000, K::PushButton, "YES", 34, 32, 19, 14, kNone},
    {1002, K::PushButton, "Down", 56, 32, 23, 14, kNone},
    {1003, K::PushButton, "Up", 80, 32, 28, 14, kNone},
    {1009, K::PushButton, "Home", 12, 46, 26, 14, kNone},
    {1010, K::PushButton, "Man/Auto", 38, 46, 37, 14, kNone},
    {1005, K::PushButton, "A", 75, 46, 15, 14, kNone},
    {1006, K::PushButton, "B", 90, 46, 15, 14, kNone},
    {1007, K::PushButton, "C", 105, 46, 15, 14, kNone},

    // Group "Robot Mode:".
    {1087, K::GroupBox, "Robot Mode:", 126, 8, 61, 56, kNone},
    {1092, K::Label, "Mode", 143, 18, 24, 8, kNone},
    {1089, K::PushButton, "Man", 129, 27, 23, 14, kNone},
    {1088, K::PushButton, "Home", 161, 27, 23, 14, kNone},
    {1090, K::PushButton, "Auto", 129, 42, 23, 14, kNone},
    {1091, K::PushButton, "Demo", 161, 42, 23, 14, kNone},

    // Group "Menu Mode".
    {-1, K::GroupBox, "Menu Mode", 191, 8, 99, 56, kNone},
    {1036, K::Label, "Stop Status :", 211, 18, 54, 8, kNone},
    {1084, K::PushButton, "Normal", 198, 28, 28, 14, kNone},
    {1083, K::PushButton, "Tools", 227, 28, 25, 14, kNone},
    {1037, K::PushButton, "Stop=>0", 254, 28, 34, 14, kNone},
    {1085, K::PushButton, "!Dev!", 198, 42, 28, 14, kDisabled},
    {1086, K::PushButton, "Stop=>0 for DEV", 227, 42, 61, 14, kDisabled},

    // Groups "Prg. Load" and "Prg. Save".
    {-1, K::GroupBox, "Prg. Load", 296, 32, 47, 31, kNone},
    {1098, K::PushButton, "A", 298, 42, 14, 14, kNone},
    {1099, K::PushButton, "B", 312, 42, 14, 14, kNone},
    {1100, K::PushButton, "C", 326, 42, 14, 14, kNone},
    {-1, K::GroupBox, "Prg. Save", 345, 32, 47, 31, kNone},
    {1101, K::PushButton, "A", 348, 42, 14, 14, kNone},
    {1102, K::PushButton, "B", 362, 42, 14, 14, kNone},
    {1103, K::PushButton, "C", 376, 42, 14, 14, kNone},

    // Outside the groups.
    {1, K::DefaultPushButton, "Quit", 393, 7, 21, 12, kNone},
    {1035, K::Label, "Status :", 333, 9, 26, 8, kNone},
    {1041, K::Label, "", 292, 21, 121, 10, kNoWrap},
    {1055, K::CheckBox, "Disable Values Update", 92, 224, 69, 18, kWrap},
    {1070, K::PushButton, "Reboot", 7, 225, 33, 14, kNone},
    {1080, K::PushButton, "!!Init Settings!!", 41, 225, 47, 14, kNone},

    // Group "Battery".
    {1008, K::GroupBox, "Battery", 10, 67, 86, 109, kNone},
    {1021, K::Label, "Temp.(°C) :", 13, 75, 80, 8, kNone},
    {1020, K::Label, "Voltage(mV) :", 14, 85, 80, 8, kNone},
    {-1, K::Label, "Volt.Min. :", 14, 93, 34, 8, kNone},
    {1045, K::ClickableLabel, "min", 57, 93, 26, 8, kNone},
    {1023, K::Label, "Current (mA) :", 13, 101, 81, 8, kNone},
    {1022, K::Label, "Charge (mAh) :", 13, 110, 79, 8, kNone},
    {1024, K::ClickableLabel, "Max. Cap.(mAh) :", 13, 119, 81, 8, kNone},
    {1025, K::Edit, "", 15, 128, 42, 12, kNone},
    {1026, K::PushButton, "Change", 61, 128, 30, 12, kNone},
    {1053, K::ClickableLabel, "Max.Ch.Time(min):", 12, 141, 81, 8, kNone},
    {1054, K::Edit, "", 15, 149, 42, 12, kNone},
    {1105, K::PushButton, "Change", 61, 149, 30, 12, kNone},
    {1027, K::PushButton, "EndCharge", 14, 162, 41, 12, kNone},
    {1111, K::Label, "Power :", 59, 164, 34, 8, kNone},

    // Group "Signals".
    {-1, K::GroupBox, "Signals", 98, 67, 106, 90, kNone},
    {1032, K::Label, "Quality(0-100) :", 101, 77, 92, 8, kNone},
    {1028, K::Label, "Boundary Wire Front Af:", 101, 85, 98, 8, kNone},
    {1033, K::Label, "Boundary Wire Rear Ar:", 102, 93, 100, 8, kNone},
    {1029, K::Label, "Guide Wire G1:", 102, 101, 94, 8, kNone},
    {1030, K::Label, "Far signal F:", 102, 109, 62, 8, kNone},
    {1031, K::Label, "Near signal N:", 102, 117, 62, 8, kNone},
    {1064, K::ClickableLabel, "Cutting Effort:", 102, 126, 88, 8, kNone},
    {1034, K::PushButton, "UpdateSignals", 119, 138, 52, 14, kNone},

    // Group "Scripts".
    {-1, K::GroupBox, "Scripts", 207, 67, 104, 90, kNone},
    {1047, K::Label, "no script running", 215, 75, 88, 8, kNone},
    {1049, K::CheckBox, "Auto after Man", 210, 99, 61, 10, kNone},
    {1050, K::CheckBox, "Man after Auto", 210, 108, 62, 10, kNone},
    {1051, K::PushButton, "GoBack", 210, 118, 28, 10, kNone},
    {1052, K::CheckBox, "Auto if out", 240, 118, 48, 10, kNone},
    {1069, K::CheckBox, "AutoTimer", 257, 129, 44, 10, kNone},
    {1066, K::PushButton, "PulsCharge", 214, 132, 41, 12, kNone},
    {1104, K::CheckBox, "AutoVmin", 257, 139, 43, 10, kNone},

    // Group "Memory".
    {-1, K::GroupBox, "Memory", 314, 65, 100, 92, kNone},
    {1058, K::Edit, "", 337, 74, 42, 12, kNone},
    {-1, K::Label, "Begin:", 315, 76, 21, 8, kNone},
    {1056, K::PushButton, "Read", 382, 78, 28, 14, kDisabled | kWrap},
    {1059, K::Edit, "", 337, 87, 42, 12, kNone},
    {-1, K::Label, "End:", 316, 90, 18, 8, kNone},
    {1107, K::CheckBox, "ASCII", 317, 99, 29, 10, kNone},
    {1108, K::CheckBox, "Even only", 348, 99, 44, 10, kNone},
    {1061, K::Edit, "", 331, 109, 42, 12, kNone},
    {1060, K::CheckBox, "Filter", 375, 112, 30, 18, kWrap},
    {-1, K::Label, "Min:", 316, 113, 14, 8, kNone},
    {-1, K::Label, "Max:", 316, 122, 15, 8, kNone},
    {1062, K::Edit, "", 331, 122, 42, 12, kNone},
    {1063, K::CheckBox, "Test Read", 356, 134, 34, 22, kWrap},
    {1057, K::PushButton, "Write", 323, 138, 30, 14, kDisabled},

    // Group "Square Cutting".
    {-1, K::GroupBox, "Square Cutting", 10, 176, 68, 45, kNone},
    {1065, K::ClickableLabel, "Status :", 15, 184, 49, 9, kNone},
    {1106, K::CheckBox, "Disable Timer", 16, 193, 57, 12, kWrap},
    {1068, K::PushButton, "Bing!", 14, 206, 23, 14, kNone},

    // Group "Clock".
    {-1, K::GroupBox, "Clock", 98, 159, 61, 63, kNone},
    {-1, K::Label, "Sec.", 106, 173, 15, 8, kNone},
    {1042, K::Label, "s", 130, 173, 8, 8, kNone},
    {-1, K::Label, "Min.", 106, 183, 14, 8, kNone},
    {1043, K::Label, "m", 130, 183, 8, 8, kNone},
    {-1, K::Label, "Hour", 106, 191, 16, 8, kNone},
    {1044, K::Label, "h", 130, 191, 8, 8, kNone},
    {1040, K::ClickableLabel, "Timer Override Status :", 104, 200, 49, 19, kWrap},

    // Group "Alarm".
    {-1, K::GroupBox, "Alarm", 163, 159, 61, 47, kNone},
    {1038, K::CheckBox, "AlarmIfNoResponse", 166, 168, 46, 16, kWrap},
    {1110, K::CheckBox, "OrIfnoPower", 166, 184, 51, 10, kNone},

    // Group "Rain".
    {-1, K::GroupBox, "Rain", 163, 208, 61, 32, kNone},
    {1109, K::Label, "Level: ", 166, 217, 53, 10, kNoWrap},
    {1114, K::PushButton, "off", 167, 227, 18, 11, kNone},
    {1115, K::PushButton, "on", 202, 227, 18, 11, kNone},

    // Group "1-Movement".
    {-1, K::GroupBox, "1-Movement", 227, 157, 96, 83, kNone},
    {1075, K::PushButton, "Init Movement", 238, 167, 66, 14, kNone},
    {1074, K::CheckBox, "keyboard", 231, 181, 48, 12, kWrap},
    {1078, K::CheckBox, "left/right", 281, 181, 42, 12, kWrap},
    {1076, K::PushButton, "FORWARD", 271, 194, 41, 14, kNone},
    {1079, K::PushButton, "GO", 244, 195, 24, 14, kNone},
    {1072, K::PushButton, "LEFT", 230, 209, 24, 14, kNone},
    {1073, K::PushButton, "RIGHT", 256, 209, 26, 14, kNone},
    {1071, K::PushButton, "STOP", 243, 224, 24, 14, kNone},
    {1077, K::PushButton, "BACKWARD", 268, 224, 47, 14, kNone},

    // Group "2-Cutting": never enabled.
    {-1, K::GroupBox, "2-Cutting", 326, 157, 82, 53, kNone},
    {1081, K::PushButton, "Start Cutting !", 329, 167, 51, 14, kDisabled},
    {1082, K::PushButton, "Stop", 380, 167, 23, 14, kDisabled},
    {-1, K::Label, "Cutting Speed:", 331, 183, 49, 8, kNone},
    {1095, K::PushButton, "1", 331, 191, 13, 14, kDisabled},
    {1096, K::PushButton, "2", 345, 191, 13, 14, kDisabled},
    {1097, K::PushButton, "3", 360, 191, 13, 14, kDisabled},
};

constexpr DialogTemplate kConsoleWindow{102, "Verdelo - Version 83", 1, 1, 421, 242,
                                        kConsoleControls};

// The About box's icon is drawn by the window itself (icon 128), at the
// rectangle of its first entry.
constexpr ControlTemplate kAboutControls[] = {
    {-1, K::Label, "", 11, 17, 21, 20, kNone},
    {-1, K::Label, "Verdelo", 89, 15, 62, 8, kNone},
    {1, K::DefaultPushButton, "OK", 219, 7, 50, 16, kNone},
    {-1, K::Label, "https://verdelo.example.org", 72, 34, 119, 8, kNone},
    {-1, K::Label, "forum: https://forum.verdelo.example.org", 36, 50, 199, 8, kNone},
};

constexpr DialogTemplate kAboutBox{100, "About Verdelo", 0, 0, 276, 94, kAboutControls};

constexpr ControlTemplate kPortControls[] = {
    {1, K::DefaultPushButton, "OK", 263, 7, 50, 16, kNone},
    {2, K::PushButton, "Cancel", 263, 25, 50, 16, kNone},
    {3, K::ColorButton, "Open", 102, 21, 50, 16, kNone},
    {5, K::ColorButton, "Close", 155, 21, 50, 16, kNone},
    {1004, K::ComboBox, "", 14, 22, 56, 12, kNone},
    {1005, K::ComboBox, "", 14, 36, 56, 12, kNone},
    {1006, K::Label, "Static", 123, 12, 65, 8, kNone},
    {4, K::PushButton, "Send", 8, 52, 22, 16, kDisabled},
    {1007, K::Edit, "", 30, 55, 74, 13, kDisabled},
    {-1, K::Label, "TX", 113, 57, 9, 8, kNone},
    {1003, K::PushButton, "Clear", 129, 55, 24, 13, kNone},
    {1002, K::ListBox, "", 7, 68, 146, 147, kNone},
    {-1, K::Label, "RX", 237, 58, 10, 8, kNone},
    {1001, K::PushButton, "Clear", 167, 55, 24, 13, kNone},
    {1000, K::ListBox, "", 167, 68, 146, 147, kNone},
};

constexpr DialogTemplate kPortWindow{103, "SerialPortControl", -2, 250, 320, 222, kPortControls};

}  // namespace

const DialogTemplate& ConsoleWindowTemplate() { return kConsoleWindow; }
const DialogTemplate& AboutBoxTemplate() { return kAboutBox; }
const DialogTemplate& PortWindowTemplate() { return kPortWindow; }

}  // namespace verdelo
