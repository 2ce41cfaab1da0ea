#include "playback/devicesync/CDeviceDetector.h"
#include "playback/devicesync/IDeviceEventListener.h"
#include "platform/devices/Drives.h"
#include "platform/devices/VolumeMonitor.h"
#include "platform/fs/testing/TempFolder.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <string>

namespace fs = std::filesystem;
using plat::DriveKind;
using plat::VolumeMonitor;

namespace {

struct Recorder final : IDeviceEventListener {
    std::string heard;   // "+E" for an arrival, "-E" for a removal
    void OnDeviceArrival(char letter) override { heard += std::string("+") + letter; }
    void OnDeviceRemoval(char letter) override { heard += std::string("-") + letter; }
};

// Drive folders made by the test and given to the volume table by letter.
struct Drives {
    plat::TempFolder folder;

    std::string drive(const std::string& name, const char* marker = nullptr)
    {
        const fs::path root = fs::path(folder.path()) / name;
        fs::create_directories(root);
        if (marker != nullptr) fs::create_directories(root / marker);
        return root.string();
    }
    ~Drives() { VolumeMonitor::instance().use_given_volumes({}); }
};

DEV_BROADCAST_VOLUME volume(DWORD mask, WORD flags = 0)
{
    return {sizeof(DEV_BROADCAST_VOLUME), DBT_DEVTYP_VOLUME, 0, mask, flags};
}

LPARAM as_param(const void* record)
{
    return reinterpret_cast<LPARAM>(record);
}

constexpr DWORD bit(char letter)
{
    return DWORD{1} << (letter - 'A');
}

}

TEST(CDeviceDetector, ScanListsOnlyRemovableDrivesHoldingAnIPod)
{
    Drives d;
    VolumeMonitor::instance().use_given_volumes({
        {'D', DriveKind::Removable, d.drive("stick")},
        {'E', DriveKind::Removable, d.drive("ipod", "iPod_Control")},
        {'F', DriveKind::Remote, d.drive("share", "iPod_Control")},
        {'G', DriveKind::Removable, d.drive("touch", "iTunes_Control")},
    });
    CDeviceDetector detector;
    Recorder recorder;
    detector.AddListener(&recorder);
    EXPECT_FALSE(detector.HasDevice());
    detector.ScanDrives(nullptr);
    EXPECT_EQ(detector.Letters(), (std::vector<char>{'E', 'G'}));
    EXPECT_EQ(recorder.heard, "+E+G");
    EXPECT_TRUE(detector.HasDevice());
    // A second scan finds nothing new and tells nobody.
    detector.ScanDrives(nullptr);
    EXPECT_EQ(recorder.heard, "+E+G");
}

TEST(CDeviceDetector, ArrivalsAndRemovalsOfVolumes)
{
    Drives d;
    VolumeMonitor::instance().use_given_volumes({
        {'E', DriveKind::Removable, d.drive("ipod", "iPod_Control")},
        {'H', DriveKind::Removable, d.drive("stick")},
    });
    CDeviceDetector detector;
    Recorder recorder;
    detector.AddListener(&recorder);

    const DEV_BROADCAST_VOLUME ipod = volume(bit('E'));
    const DEV_BROADCAST_VOLUME two = volume(bit('E') | bit('H'));
    const DEV_BROADCAST_VOLUME stick = volume(bit('H'));
    const DEV_BROADCAST_VOLUME network = volume(bit('E'), DBTF_NET);
    const DEV_BROADCAST_VOLUME none = volume(0);
    const DEV_BROADCAST_HDR other{sizeof(DEV_BROADCAST_HDR), DBT_DEVTYP_DEVICEINTERFACE, 0};
    const struct {
        const char* what;
        WPARAM event;
        const void* record;
        bool answer;
        const char* heard;
    } steps[] = {
        {"network arrival", DBT_DEVICEARRIVAL, &network, false, ""},
        {"a stick without an iPod", DBT_DEVICEARRIVAL, &stick, false, ""},
        {"iPod arrives", DBT_DEVICEARRIVAL, &ipod, true, "+E"},
        {"again", DBT_DEVICEARRIVAL, &ipod, true, "+E"},
        {"lowest letter of the mask", DBT_DEVICEARRIVAL, &two, true, "+E"},
        {"not a volume", DBT_DEVICEARRIVAL, &other, false, "+E"},
        {"no letter", DBT_DEVICEARRIVAL, &none, false, "+E"},
        {"no record", DBT_DEVICEARRIVAL, nullptr, false, "+E"},
        {"other event", 0x8001, &ipod, false, "+E"},
        {"network removal", DBT_DEVICEREMOVECOMPLETE, &network, false, "+E"},
        {"stick removed", DBT_DEVICEREMOVECOMPLETE, &stick, true, "+E"},
        {"iPod removed", DBT_DEVICEREMOVECOMPLETE, &ipod, true, "+E-E"},
        {"removed again", DBT_DEVICEREMOVECOMPLETE, &ipod, true, "+E-E"},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.what);
        EXPECT_EQ(detector.OnDeviceChange(s.event, as_param(s.record)), s.answer);
        EXPECT_EQ(recorder.heard, s.heard);
    }
    EXPECT_FALSE(detector.HasDevice());
}

TEST(CDeviceDetector, ItsWindowHearsOfVolumesUntilTheDetectorGoes)
{
    Drives d;
    int heard = 0;
    HWND window = reinterpret_cast<HWND>(0x10);
    VolumeMonitor::instance().set_sink([&](HWND w, std::uintptr_t, std::unique_ptr<DEV_BROADCAST_VOLUME>) {
        if (w == window) ++heard;
    });
    {
        CDeviceDetector detector;
        detector.ScanDrives(window);
        VolumeMonitor::instance().use_given_volumes({{'E', DriveKind::Removable, d.drive("ipod", "iPod_Control")}});
        EXPECT_EQ(heard, 1);
    }
    VolumeMonitor::instance().use_given_volumes({});
    EXPECT_EQ(heard, 1);
    VolumeMonitor::instance().set_sink(nullptr);
}
