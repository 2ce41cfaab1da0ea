#include "platform/dshow/AsyncFileSource.h"

#include "platform/base/Utf.h"
#include "platform/com/Com.h"
#include "platform/dshow/MediaFormats.h"
#include "platform/dshow/BasePin.h"
#include "platform/fs/testing/TempFolder.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

std::string write_file(const plat::TempFolder& folder, const std::string& name, const std::string& bytes)
{
    const std::string path = folder / name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

plat::ComPtr<IAsyncReader> reader_of(plat::AsyncFileSource* source)
{
    plat::ComPtr<IAsyncReader> reader;
    source->GetPin(0)->QueryInterface(IID_IAsyncReader, reader.put_void());
    return reader;
}

}

TEST(AsyncFileSource, ReadsWholeAndShortRanges)
{
    plat::TempFolder folder;
    auto path = write_file(folder, "afs-read", "0123456789");
    plat::ComPtr<plat::AsyncFileSource> source(new plat::AsyncFileSource());
    ASSERT_EQ(source->Load(plat::utf8_to_utf16(path).c_str(), nullptr), S_OK);
    auto reader = reader_of(source.get());
    ASSERT_TRUE(reader);
    BYTE buf[8]{};
    EXPECT_EQ(reader->SyncRead(2, 4, buf), S_OK);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), 4), "2345");
    EXPECT_EQ(reader->SyncRead(8, 4, buf), S_FALSE);
    EXPECT_EQ(reader->SyncRead(-1, 4, buf), E_INVALIDARG);
    LONGLONG total = 0, available = 0;
    ASSERT_EQ(reader->Length(&total, &available), S_OK);
    EXPECT_EQ(total, 10);
    EXPECT_EQ(available, 10);
}

TEST(AsyncFileSource, GrowingFileReportsUnknownTotalUntilDone)
{
    plat::TempFolder folder;
    auto path = write_file(folder, "afs-grow", "abc");
    plat::ComPtr<plat::AsyncFileSource> source(new plat::AsyncFileSource(plat::Growth::Growing));
    ASSERT_EQ(source->Load(plat::utf8_to_utf16(path).c_str(), nullptr), S_OK);
    auto reader = reader_of(source.get());
    LONGLONG total = -1, available = -1;
    reader->Length(&total, &available);
    EXPECT_EQ(total, 0);
    EXPECT_EQ(available, 3);
    std::ofstream(path, std::ios::binary | std::ios::app) << "defg";
    reader->Length(&total, &available);
    EXPECT_EQ(available, 7);
    source->set_growth(plat::Growth::Complete);
    reader->Length(&total, &available);
    EXPECT_EQ(total, 7);
}

TEST(AsyncFileSource, MissingFileFailsToLoad)
{
    plat::ComPtr<plat::AsyncFileSource> source(new plat::AsyncFileSource());
    EXPECT_EQ(source->Load(u"/nonexistent/strimo/file.flv", nullptr), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(source->GetPinCount(), 0);
}

TEST(AsyncFileSource, ReportsTheLoadedFileAndItsType)
{
    plat::ComPtr<plat::AsyncFileSource> source(new plat::AsyncFileSource());
    LPWSTR name = reinterpret_cast<LPWSTR>(1);
    EXPECT_EQ(source->GetCurFile(nullptr, nullptr), E_POINTER);
    ASSERT_EQ(source->GetCurFile(&name, nullptr), S_OK);   // nothing loaded yet
    EXPECT_EQ(name, nullptr);

    plat::TempFolder folder;
    auto path = write_file(folder, "afs-name", "x");
    const std::u16string wide = plat::utf8_to_utf16(path);
    AM_MEDIA_TYPE asked{};
    asked.majortype = MEDIATYPE_Stream;
    asked.subtype = plat::make_guid("{00001234-0000-0010-8000-00AA00389B71}");
    ASSERT_EQ(source->Load(wide.c_str(), &asked), S_OK);
    AM_MEDIA_TYPE type{};
    ASSERT_EQ(source->GetCurFile(&name, &type), S_OK);
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(std::u16string(name), wide);
    CoTaskMemFree(name);
    EXPECT_EQ(type.majortype, MEDIATYPE_Stream);
    EXPECT_EQ(type.subtype, asked.subtype);
    FreeMediaType(type);
}
