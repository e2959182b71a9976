#pragma once
// The four timers that drive a connection: their ids and periods. A front end arms them; the
// client gives the connect time-out, the poll and the watchdog their meaning.

constexpr unsigned TIMER_CONNECT_TIMEOUT = 1224;
constexpr unsigned TIMER_UI_REFRESH = 1225;
constexpr unsigned TIMER_POLL = 1226;
constexpr unsigned TIMER_WATCHDOG = 1227;

constexpr int CONNECT_TIMEOUT_MS = 5000;
constexpr int UI_REFRESH_MS = 1;
constexpr int POLL_MS = 50;
constexpr int WATCHDOG_MS = 1000;
constexpr int WATCHDOG_SILENT_TICKS = 10; // a connection ends when more ticks than this are silent
