#pragma once
// The main program's process-wide settings: screen and UI metrics with their
// scale factors, the program's folders, the background picture and three
// flags, loaded from and saved to HKCU "Software\Corvalen\Strimo".

#include "platform/base/Types.h"

#include <array>

class CAppSettings {
public:
    // The content rectangle below the title band the UI draws.
    struct ClientArea {
        float x;
        float y;
        float width;
        float height;
    };

    // Registers itself as the singleton and builds the default folders (creating them).
    CAppSettings();
    ~CAppSettings();
    CAppSettings(const CAppSettings&) = delete;
    CAppSettings& operator=(const CAppSettings&) = delete;

    // Null before construction and after destruction.
    static CAppSettings* Instance();

    // 0, 1 x and y scale; 2, 3 screen size; 4, 5 client size; 6, 7 UI size; 8, 9 25;
    // 12 8888; 13 the integer setting; 14 the UI back-buffer flag; 17, 18 the tip flags;
    // any other index 0.
    float GetMetric(int index) const;
    // 2, 3 screen size and 4, 5 client size (each recomputes its scale; a screen size
    // that is not positive is ignored), 13 the integer setting (truncated), 17, 18 the
    // tip flags (non-zero gives 1). Other indices change nothing.
    void SetNumber(int index, double value);

    // Slots 0-4 and 6-9 (see the .cpp); other indices give null.
    const WCHAR* GetPath(int index) const;
    // False, with the slot unchanged, for a null text, another index, or a text of
    // MAX_PATH units or more (a slot holds MAX_PATH units with the terminator).
    bool SetPath(int index, const WCHAR* text);

    // (0, 25, client width, client height - 25) when the client size differs from the
    // screen size, else the whole screen.
    ClientArea GetClientArea() const;

    void Load();
    void Save() const;

private:
    void build_default_folders();
    void recompute_scale();

    std::array<std::array<WCHAR, MAX_PATH>, 10> m_paths{};   // slot 5 unused
    float m_screen_width;
    float m_screen_height;
    float m_client_width = 1024;
    float m_client_height = 352;
    float m_ui_width = 1026;
    float m_ui_height;
    float m_scale_x;
    float m_scale_y;
    int m_number = 7;
    DWORD m_ui_back_buffer = 1;
    BYTE m_show_search_tips = 1;
    BYTE m_show_my_channel_tips = 1;
};
