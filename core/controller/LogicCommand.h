#pragma once
// The logic thread's commands: thread message WM_USER + code, with two
// pointer-sized values whose meaning the code gives.

namespace LogicCommand {
inline constexpr unsigned UICommand = 0;          // wParam UI id
inline constexpr unsigned OpenPath = 2;           // wParam a new[]'d zero-ended UTF-16 string
inline constexpr unsigned WidgetDoubleClick = 3;  // wParam UI id
// Ours (the system posts nothing with 4): a display mode asked for on another
// thread; wParam the mode, lParam a video view state to take with it (0 none).
inline constexpr unsigned ChangeDisplayMode = 4;
inline constexpr unsigned ListClick = 5;          // wParam UI id, lParam row * 256 + part
inline constexpr unsigned VolumeValue = 6;        // wParam UI id, lParam slider position
inline constexpr unsigned ProgressMoved = 7;      // wParam UI id, lParam position; no effect
inline constexpr unsigned SeekValue = 8;          // wParam UI id, lParam position
inline constexpr unsigned WindowClicked = 9;      // wParam UI id; no effect
inline constexpr unsigned OpenList = 13;          // wParam the list kind (FeedListKind), lParam the page
inline constexpr unsigned OpenChannel = 14;       // channel id: wParam low, lParam high 32 bits
inline constexpr unsigned ChannelUpdated = 15;    // wParam the 64-bit channel id; lParam 1: the awaited one
inline constexpr unsigned DataActionResult = 17;     // wParam 2, 3 or 4; lParam the 64-bit item id, or (4) a new'd item address
inline constexpr unsigned DeleteWidget = 18;      // wParam a UI::widget the command destroys
inline constexpr unsigned PlayCurrentItem = 19;    // wParam 1: the item came from the download pane
inline constexpr unsigned SearchResult = 20;      // wParam a SearchRequest the command owns
inline constexpr unsigned RefreshWidget = 21;
inline constexpr unsigned TranscodeFinished = 22;
inline constexpr unsigned Last = 22;
}
