#pragma once
// Resource and control ids, kept as the window's template numbers them.

// Controls of the admin window.
constexpr int IDC_PLAYER_LIST = 1001;
constexpr int IDC_KICK = 1002;
constexpr int IDC_BAN = 1003;
constexpr int IDC_COMMAND = 1007;
constexpr int IDC_SEND = 1008;
constexpr int IDC_LOG = 1010;
constexpr int IDC_USERNAME = 1011;
constexpr int IDC_PASSWORD = 1012;
constexpr int IDC_SAVE_PASS = 1013;
constexpr int IDC_CONNECT = 1014;
constexpr int IDC_HOST = 1015;
constexpr int IDC_PORT = 1016;
constexpr int IDC_SHUTDOWN = 1018;

// The About command; a system command is compared with its low four bits cleared.
constexpr unsigned IDM_ABOUTBOX = 0x0010;
constexpr unsigned SYSCOMMAND_MASK = 0xFFF0;
