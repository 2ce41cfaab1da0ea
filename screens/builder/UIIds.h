// The UI ids of the main window: each widget other code finds again is
// registered under its skin name and one of these. The id is also the
// command id the controller works with when such a widget reports a click.
// Ids not here are not registered (2787, which the controller asks for,
// finds no widget); nor are the control bar's sliders, whose ids only name
// the sender of the volume and seek commands the controller posts.
#pragma once

namespace UI::ids {

inline constexpr int Client = 1;
inline constexpr int VideoPlayWindow = 2;
inline constexpr int Maximize = 6;
inline constexpr int Minimize = 7;
inline constexpr int Close = 8;
inline constexpr int Restore = 9;
inline constexpr int VolumeSlider = 57;
inline constexpr int SeekBar = 62;
inline constexpr int MyFavoriteOperation = 78;
inline constexpr int SearchOperation = 79;
inline constexpr int MyChannelOperation = 80;
inline constexpr int SearchPrompt = 81;
inline constexpr int MyChannelPrompt = 82;
inline constexpr int Remove = 85;
inline constexpr int SaveSearch = 86;
inline constexpr int RemoveAll = 87;
inline constexpr int AddNow = 90;
inline constexpr int Setting = 92;
inline constexpr int RightWindow = 96;
inline constexpr int MyDownload = 97;
inline constexpr int MyDownloadList = 98;
inline constexpr int SyncDevice = 99;
inline constexpr int SyncDeviceList = 100;
inline constexpr int DragWindow = 101;
inline constexpr int RssTreeWindow = 102;
inline constexpr int RssListWindow = 104;
inline constexpr int RssTree = 105;
inline constexpr int RssList = 106;
inline constexpr int LastPage = 112;   // the arrow to the previous page
inline constexpr int NextPage = 113;
// Page-select button n is FirstPageSelect + n; ids up to LastPageSelect are theirs.
inline constexpr int FirstPageSelect = 114;
inline constexpr int LastPageSelect = 213;
inline constexpr int PageText = 214;
inline constexpr int PageButtons = 215;
inline constexpr int EmptyPrompt = 218;
inline constexpr int SettingButton = 219;
inline constexpr int LoadingPage = 220;
inline constexpr int Loading = 222;
inline constexpr int SearchBox = 223;
inline constexpr int SearchButton = 224;
inline constexpr int SearchText = 225;

}
