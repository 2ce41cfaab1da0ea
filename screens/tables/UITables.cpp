#include "screens/tables/UITables.h"

#include "platform/base/Utf.h"

namespace {

constexpr D3DXFONT_DESCW font(INT height, UINT weight, UINT mip_levels, std::u16string_view face)
{
    D3DXFONT_DESCW d{height, 0, weight, mip_levels, FALSE, 1, 0, 4, 0, {}};
    for (std::size_t i = 0; i < face.size() && i < 31; ++i)
        d.FaceName[i] = face[i];
    return d;
}

const TextTableEntry text_table[] = {
    {5001, u"Strimo"},
    {5002, u"Vazir EZO"},
    {5088, u"SETTINGS"},
    {5087, u"OPEN A FILE"},
    {5089, u"Add"},
    {5091, u"REMOVE ONE"},
    {5093, u"REMOVE ALL"},
    {5090, u"Remove"},
    {5092, u"ALL"},
    {5094, u"SYNC TO IPOD"},
    {5095, u"TRANSCODING"},
    {5096, u"ADD TO FAVORTITE"},
    {5097, u"EMAIL TO FRIEND"},
    {5098, u"SAVE RESULT"},
    {5099, u"Save Result"},
    {5100, u"SHARE THIS CHANNEL"},
    {5101, u"Collection"},
    {5102, u"Search YouTube"},
    {5103, u"No Availabe Content"},
};

const SkinImageEntry dialog_images[] = {
    {1, "welcome", u"\\Dialog\\Tutorial.png"},
    {3, "dialogbtn", u"\\Dialog\\DialogBtn.png"},
};

const SkinImageEntry menu_images[] = {
    {161, "menubg", u"\\Skins\\images\\MenuBG.png"},
};

const SkinImageEntry skin_images[] = {
    {69, "topframe", u"\\Skins\\images\\TopWindowFrame.png"},
    {71, "bottomframe", u"\\Skins\\images\\BottomWindowFrame.png"},
    {70, "leftframe", u"\\Skins\\images\\LeftWindowFrame.png"},
    {72, "rightframe", u"\\Skins\\images\\RightWindowFrame.png"},
    {1, "caret_default", u"\\Skins\\images\\cursor.png"},
    {0, "caret_select", u"\\Skins\\images\\SelectStringBg.png"},
    {64, "logo", u"\\Skins\\images\\Logo.png"},
    {0, "soundsliderbgh", u"\\Skins\\images\\SoundSliderBGH.png"},
    {164, "searchbar", u"\\Skins\\images\\searchbar.png"},
    {0, "search_highlightbk", u"\\Skins\\images\\Searchbar_highlight.png"},
    {0, "search_bk", u"\\Skins\\images\\searchbar.png"},
    {0, "frame", u"\\skins\\images\\informationField.png"},
    {0, "SeachDialogIcon", u"\\skins\\images\\SeachDialogIcon.png"},
    {0, "WarningDialogIcon", u"\\skins\\images\\WarningDialogIcon.png"},
    {0, "rss-treewindow-bk", u"\\skins\\images\\sidbar_bg_left.png"},
    {0, "rss-treeoptionwindow-bk", u"\\skins\\images\\sidbar_bg_right.png"},
    {0, "rssitembackground", u"\\skins\\images\\ItemBar.png"},
    {0, "rssitemhighlight", u"\\skins\\images\\ItemBar_Focus.png"},
    {0, "pageselect", u"\\skins\\images\\Page_selected.png"},
    {0, "pagenext", u"\\skins\\images\\NextPage.png"},
    {0, "pagelast", u"\\skins\\images\\LastPage.png"},
    {0, "icon_MyFavorite", u"\\skins\\images\\MyFavorite.png"},
    {0, "icon_big_MyFavorite", u"\\skins\\images\\favoriteBig.png"},
    {0, "icon_big_UnFavorite", u"\\skins\\images\\favoriteBig_Gray.png"},
    {0, "icon_YouTube", u"\\skins\\images\\YouTube.png"},
    {0, "icon_myipod", u"\\skins\\images\\iPod.png"},
    {0, "icon_search", u"\\skins\\images\\SearchResult.png"},
    {0, "icon_mychannel", u"\\skins\\images\\mychannel.png"},
    {0, "icon_options", u"\\skins\\images\\Options.png"},
    {0, "icon_mydownload", u"\\skins\\images\\MyDownload.png"},
    {0, "rsstreenodehighlight", u"\\skins\\images\\SelectedChannel.png"},
    {0, "rsstreefoldernodearrow", u"\\skins\\images\\DropDown.png"},
    {0, "btnsearch", u"\\skins\\images\\Search.png"},
    {0, "timeline", u"\\skins\\images\\Timeline.png"},
    {0, "rightsidebar", u"\\skins\\images\\RightSidebar.png"},
    {0, "controlpanelbg", u"\\skins\\images\\PlayPanelBg.png"},
    {55, "progressbg", u"\\Skins\\images\\progressBg.png"},
    {0, "videofocusbg", u"\\Skins\\images\\Video_Focus.png"},
    {0, "videonormalbg", u"\\Skins\\images\\Video_normal.png"},
    {0, "downloadbg", u"\\Skins\\images\\Video_normal.png"},
    {0, "icon_add", u"\\Skins\\images\\Add.png"},
    {0, "icon_remove", u"\\Skins\\images\\Remove.png"},
    {0, "icon_savesearch", u"\\Skins\\images\\SaveSearch.png"},
    {0, "icon_removeall", u"\\Skins\\images\\RemoveAll.png"},
    {0, "icon_loading0", u"\\Skins\\images\\Loading0001.png"},
    {0, "icon_loading1", u"\\Skins\\images\\Loading0002.png"},
    {0, "icon_loading2", u"\\Skins\\images\\Loading0003.png"},
    {0, "icon_loading3", u"\\Skins\\images\\Loading0004.png"},
    {0, "icon_loading4", u"\\Skins\\images\\Loading0005.png"},
    {0, "icon_loading5", u"\\Skins\\images\\Loading0006.png"},
    {0, "icon_loading6", u"\\Skins\\images\\Loading0007.png"},
    {0, "icon_loading7", u"\\Skins\\images\\Loading0008.png"},
    {0, "icon_addchannel", u"\\Skins\\images\\AddChannel_16X16.png"},
    {0, "select", u"\\Skins\\images\\selectBarArrow.png"},
    {0, "panelbg", u"\\Skins\\images\\Subpanel.png"},
    {0, "textinputbg", u"\\Skins\\images\\SettingInputbar.png"},
    {0, "icon_prefetchoff", u"\\Skins\\images\\Prefetch_off.png"},
    {0, "icon_prefetchon", u"\\Skins\\images\\Prefetch_on.png"},
    {0, "icon_prefetchfinish", u"\\Skins\\images\\Prefetch_Finished.png"},
    {0, "icon_recentviewed", u"\\Skins\\images\\RecentViewed.png"},
    {0, "buffer", u"\\Skins\\images\\Buffer.png"},
    {0, "offlinebg", u"\\Skins\\images\\offlineBg.png"},
    {0, "pageunselect", u"\\skins\\images\\Page_Unselecte.png"},
};

const SkinImageEntry skin_strips[] = {
    {0, "addtofavorite", u"\\Skins\\images\\AddToFavorite.png"},
    {0, "removeafile", u"\\Skins\\images\\RemoveAFile.png"},
    {0, "functionbtn", u"\\Skins\\images\\FunctionsBtn.png"},
    {0, "btnfullscreen", u"\\Skins\\images\\BtnFullscreen.png"},
    {0, "btnsmallwindow", u"\\Skins\\images\\BtnSmallscreen.png"},
    {0, "btnaddfavorite", u"\\Skins\\images\\AddToFavorite.png"},
    {0, "btncheckon", u"\\Skins\\images\\CheckBox_On.png"},
    {0, "btncheckoff", u"\\Skins\\images\\CheckBox_Off.png"},
    {0, "btnchecklighton", u"\\Skins\\images\\CheckBox_light_On.png"},
    {0, "btnchecklightoff", u"\\Skins\\images\\CheckBox_light_Off.png"},
    {0, "btnsetting", u"\\Skins\\images\\SettingBtn.png"},
    {0, "btnradioon", u"\\Skins\\images\\RadioBox_On.png"},
    {0, "btnradiooff", u"\\Skins\\images\\RadioBox_Off.png"},
    {0, "btnopenlocal", u"\\Skins\\images\\OpenLocalFile.png"},
    {0, "btndownload", u"\\Skins\\images\\Download.png"},
    {120, "btnprevious", u"\\skins\\images\\Previous.png"},
    {121, "btnnext", u"\\skins\\images\\Next.png"},
    {123, "btnplay", u"\\skins\\images\\Play.png"},
    {124, "btnpause", u"\\skins\\images\\Pause.png"},
    {0, "btnforward", u"\\skins\\images\\Forward.png"},
    {0, "btnbackward", u"\\skins\\images\\Backward.png"},
    {65, "btnminimize", u"\\skins\\images\\Minmize.png"},
    {66, "btnmaximize", u"\\skins\\images\\maxmize.png"},
    {67, "btnrestore", u"\\skins\\images\\Restore.png"},
    {68, "btnclose", u"\\skins\\images\\Close.png"},
    {144, "btnmuteoff", u"\\skins\\images\\MuteOff.png"},
    {145, "btnmuteon", u"\\skins\\images\\MuteOn.png"},
    {0, "btnmute", u"\\skins\\images\\Mute.png"},
    {0, "soundsliderbar", u"\\skins\\images\\SoundSlide.png"},
};

const SkinImageEntry extra_strips[] = {
    {0, "btnsync", u"\\Skins\\images\\SyncBtn.png"},
};

const SkinFontEntry skin_fonts[] = {
    {0, "font_default", font(-27, 400, 1, u"黑体")},
    {10004, "font_s8", font(-8, 400, 1, u"宋体")},
    {10005, "font_a10", font(-10, 400, 1, u"Arial")},
    {10006, "font_s10", font(-10, 400, 1, u"宋体")},
    {10007, "font_s11", font(-11, 400, 1, u"宋体")},
    {10003, "font_12", font(-12, 700, 1, u"黑体")},
    {10008, "font_s12", font(-12, 500, 1, u"宋体")},
    {10009, "font_s12b", font(-12, 600, 1, u"宋体")},
    {10010, "font_s13", font(-13, 500, 1, u"宋体")},
    {10011, "font_s13b", font(-13, 600, 1, u"宋体")},
    {10012, "font_s14", font(-14, 500, 1, u"宋体")},
    {10015, "font_s15", font(-15, 500, 1, u"宋体")},
    {10016, "font_s16", font(-16, 500, 1, u"宋体")},
    {10017, "font_e10", font(-10, 500, 1, u"Arial")},
    {10019, "font_s18", font(-18, 500, 1, u"宋体")},
    {10018, "font_s18b", font(-18, 600, 1, u"宋体")},
    {10014, "font_s14b", font(-14, 600, 1, u"宋体")},
    {10013, "font_14b", font(-14, 600, 1, u"黑体")},
    {10020, "font_a12", font(-12, 400, 1, u"Arial")},
    {10021, "font_a12b", font(-12, 550, 0, u"Arial")},
    {10022, "font_a12b2", font(-12, 600, 0, u"Arial")},
    {10023, "font_a12ums", font(-12, 400, 1, u"Tahoma")},
};

const char* const event_names[] = {
    "tooltips_target",
    "widget_doubleclick",
    "widget_animation",
    "treenode_clicked",
    "treenode_dbclicked",
    "treenode_textchange",
    "progressbar_moveto",
    "progressbar_click",
    "listitem_moveto",
    "listitem_click",
    "list_click",
    "window_click",
    "window_MouseMove",
    "window_LbtnDown",
    "window_EnterLeave",
    "videowindow_render",
    "slider_moveto",
    "comboboxitem_click",
    "menuitem_moveto",
    "menuitem_click",
    "menubtn_click",
    "menubtn_move",
    "selectbtn_clicked",
    "button_clicked",
    "wtext_input_finish",
    "status_tips",
    "IE_update",
    "Dragwindow_dragfinished",
    "moveactiobbtn_EnterLeave",
    "titlewindow-sizechange",
    "titlewindow-click",
    "rsslistitemclickanimation",
    "treenode_sizechange",
    "trssreenode_folderupdown",
    "trssreenode_focuschange",
    "rsstree_clicked",
    "rsstree_prefetch",
    "listitem_delete",
};

}  // namespace

std::span<const TextTableEntry> DefaultUITextTable() { return text_table; }
std::span<const SkinImageEntry> DialogImageTable() { return dialog_images; }
std::span<const SkinImageEntry> MenuImageTable() { return menu_images; }
std::span<const SkinImageEntry> SkinImageTable() { return skin_images; }
std::span<const SkinImageEntry> SkinImageTable2() { return skin_strips; }
std::span<const SkinImageEntry> ExtraSkinStrips() { return extra_strips; }
std::span<const SkinFontEntry> SkinFontTable() { return skin_fonts; }
std::span<const char* const> UIEventNames() { return event_names; }

std::string SkinRelativePath(std::u16string_view table_file)
{
    std::string path = plat::utf16_to_utf8(table_file);
    for (char& c : path)
        if (c == '\\')
            c = '/';
    if (!path.empty() && path.front() == '/')
        path.erase(0, 1);
    constexpr std::string_view other_spelling = "skins/";
    if (path.starts_with(other_spelling))
        path.replace(0, other_spelling.size(), "Skins/");
    return path;
}
