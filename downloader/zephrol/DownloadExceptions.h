#pragma once
// The downloader's own exceptions; like the rest of the BaseException family
// they never leave an interface or export.

#include "components/common/baseinterface/BaseException.h"

inline constexpr DWORD HTTP_EXCEPTION_KIND = 4;
inline constexpr DWORD VESSIK_EXCEPTION_KIND = 5;
inline constexpr DWORD VESSIK_ERROR_CODE = 5;

// A failure of an HTTP item: its sub-code, libcurl's code and the reply's status.
class HTTPException : public BaseException {
public:
    HTTPException(DWORD sub_code, DWORD curl_code, DWORD response_code = 0)
        : BaseException(HTTP_EXCEPTION_KIND), m_sub_code(sub_code), m_curl_code(curl_code),
          m_response_code(response_code) {}
    DWORD SubCode() const { return m_sub_code; }
    DWORD CurlCode() const { return m_curl_code; }
    DWORD ResponseCode() const { return m_response_code; }

private:
    DWORD m_sub_code;
    DWORD m_curl_code;
    DWORD m_response_code;
};

// Base of the segment master's failures, each with code 5.
class VessikException : public BaseException {
public:
    VessikException() : BaseException(VESSIK_EXCEPTION_KIND) {}
    DWORD Code() const { return VESSIK_ERROR_CODE; }
};

// The download core could not make a master item.
class VessikCreateItemException : public VessikException {};
// A source the download needs could not be made.
class VessikDownloadFail : public VessikException {};
// A slave refused its set-up.
class VessikInitException : public VessikException {};
