#include "toolkit/sound/WaveReader.h"

#include "platform/base/HResult.h"
#include "platform/base/Resources.h"
#include "platform/base/Utf.h"
#include "platform/sound/DirectSound.h"

#include <cstring>

namespace {

constexpr std::size_t pcm_format_bytes = 16;   // the fields before cbSize

std::optional<plat::MmioFile> open_named(std::u16string_view name)
{
    if (auto file = plat::MmioFile::open_file(plat::utf16_to_utf8(name)))
        return file;
    auto bytes = plat::find_resource(name, u"WAVE");
    if (!bytes)
        bytes = plat::find_resource(name, u"WAV");
    if (!bytes || bytes->empty())
        return std::nullopt;
    return plat::MmioFile::open_memory(std::move(*bytes));
}

}

HRESULT WaveReader::open(std::u16string_view name)
{
    m_io = open_named(name);
    if (!m_io)
        return E_FAIL;
    m_riff = {};
    m_riff.fccType = plat::make_fourcc("WAVE");
    if (!m_io->descend(m_riff, nullptr, plat::Descend::FindRiff))
        return E_FAIL;
    if (HRESULT hr = read_format(); FAILED(hr))
        return hr;
    m_data = {};
    m_data.ckid = plat::make_fourcc("data");
    m_io->seek(m_riff.dwDataOffset + 4);
    if (!m_io->descend(m_data, &m_riff, plat::Descend::FindChunk) || m_data.cksize == 0 ||
        m_data.cksize > max_data_bytes)
        return E_FAIL;
    return S_OK;
}

HRESULT WaveReader::read_format()
{
    plat::MMCKINFO fmt{};
    fmt.ckid = plat::make_fourcc("fmt ");
    if (!m_io->descend(fmt, &m_riff, plat::Descend::FindChunk) || fmt.cksize < pcm_format_bytes)
        return E_FAIL;
    m_format.assign(sizeof(WAVEFORMATEX), std::byte{0});
    if (m_io->read(std::span(m_format).first(pcm_format_bytes)) != pcm_format_bytes)
        return E_FAIL;
    if (format()->wFormatTag != WAVE_FORMAT_PCM) {
        WORD extra = 0;
        if (fmt.cksize < sizeof(WAVEFORMATEX) ||
            m_io->read(std::as_writable_bytes(std::span(&extra, 1))) != sizeof extra)
            return E_FAIL;
        // The extra bytes must lie inside the chunk, not in whatever follows it.
        if (extra > fmt.cksize - sizeof(WAVEFORMATEX))
            return E_FAIL;
        m_format.resize(sizeof(WAVEFORMATEX) + extra);
        if (m_io->read(std::span(m_format).subspan(sizeof(WAVEFORMATEX))) != extra)
            return E_FAIL;
        format()->cbSize = extra;
    }
    m_io->ascend(fmt);
    return S_OK;
}

WAVEFORMATEX* WaveReader::format()
{
    return reinterpret_cast<WAVEFORMATEX*>(m_format.data());
}

std::size_t WaveReader::read_data(std::span<std::byte> into)
{
    if (!m_io || !m_io->seek(m_data.dwDataOffset))
        return 0;
    return m_io->read(into.first(std::min<std::size_t>(into.size(), m_data.cksize)));
}
