#pragma once
// A UTF-16 log file with five levels: lines "[time]LEVEL: text\r\n", each
// written in one call and flushed, so several writers may share the file.

#include "platform/base/Types.h"

#include <string>
#include <string_view>

inline constexpr DWORD LOG_FORCE = 1;
inline constexpr DWORD LOG_ERROR = 2;
inline constexpr DWORD LOG_WARNING = 3;
inline constexpr DWORD LOG_INFO = 4;
inline constexpr DWORD LOG_DEBUG = 5;

class tLogFile {
public:
    tLogFile() = default;
    ~tLogFile();
    tLogFile(const tLogFile&) = delete;
    tLogFile& operator=(const tLogFile&) = delete;

    // Creates the folders on the way, appends to the file (a new or empty one
    // starts with the mark FF FE) and writes the start banner. 0, or -1 when it
    // cannot be opened (the log then stays closed).
    int Open(const std::string& path, DWORD word, DWORD max_level);
    // Does nothing above the maximum level, for a level outside 1 to 5, or while closed.
    void Write(DWORD level, std::u16string_view text);
    // Writes the end banner and closes.
    void Close();

    bool IsOpen() const { return m_fd >= 0; }

private:
    int m_fd{-1};          // owned; -1 while closed
    std::string m_path;
    DWORD m_word{0};       // kept as given; nothing reads it
    DWORD m_max_level{0};
};
