// Many threads use the registered component at once, also while another process registers it.
#include "child_process.h"
#include "registered_module.h"
#include "textured_frame.h"

#include <morvane.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <fstream>
#include <functional>
#include <latch>
#include <malloc.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr int kThreads = 8, kRounds = 100, kColumns = 64, kLines = 48, kPoints = 12;
constexpr double kMotionX = 1.4, kMotionY = -0.8;

// Frames and points shared read-only by every thread.
struct Scene {
    cv::Mat first = morvane::test::textured_frame(kColumns, kLines);
    cv::Mat second = morvane::test::textured_frame(kColumns, kLines, kMotionX, kMotionY);
    // A 4 x 3 grid at fractional positions, x then y.
    std::vector<float> points = {14.25f, 12.5f, 23.25f, 12.5f, 32.25f, 12.5f, 41.25f, 12.5f,
                                 14.25f, 22.5f, 23.25f, 22.5f, 32.25f, 22.5f, 41.25f, 22.5f,
                                 14.25f, 32.5f, 23.25f, 32.5f, 32.25f, 32.5f, 41.25f, 32.5f};
};

// One refused write per thread, so that each thread expects its own message.
const std::pair<HRESULT (STDMETHODCALLTYPE IMorvane::*)(LONG), const char16_t *> kRefusedWrites[] = {
    {&IMorvane::put_lines, u"Number of lines must be a positive integer"},
    {&IMorvane::put_columns, u"Number of columns must be a positive integer"},
};

// A property written and read back through IDispatch::Invoke, as a late-bound client does.
bool write_and_read_by_name(IMorvane *tracker, DISPID member, LONG value)
{
    VARIANT written{}, read{}; // both VT_EMPTY
    written.vt = VT_I4;
    written.lVal = value;
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS write{&written, &put, 1, 1}, none{nullptr, nullptr, 0, 0};
    return tracker->Invoke(member, IID_NULL, 0, DISPATCH_PROPERTYPUT, &write, nullptr, nullptr, nullptr) == S_OK &&
           tracker->Invoke(member, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &read, nullptr, nullptr) == S_OK &&
           read.vt == VT_I4 && read.lVal == value;
}

HRESULT create(IMorvane *&tracker)
{
    return CoCreateInstance(CLSID_CoMorvane, nullptr, CLSCTX_INPROC_SERVER, IID_IMorvane,
                            reinterpret_cast<void **>(&tracker));
}

// Tracks the scene through _IMorvane; every point must follow the frames' motion. GoogleTest's
// assertions are thread-safe, so the threads use them directly.
void track(_IMorvane *raw, const Scene &scene)
{
    std::vector<float> found(scene.points.size());
    std::vector<BYTE> status(kPoints);
    EXPECT_EQ(raw->_track_corners(scene.first.data, scene.second.data, kPoints,
                                  const_cast<float *>(scene.points.data()), found.data(), status.data(), nullptr),
              S_OK);
    for (int i = 0; i < kPoints; ++i) {
        const double dx = found[2 * i] - scene.points[2 * i] - kMotionX;
        const double dy = found[2 * i + 1] - scene.points[2 * i + 1] - kMotionY;
        EXPECT_TRUE(status[i] == 1 && std::hypot(dx, dy) < 0.2) << "point " << i << " missed the motion";
    }
}

class ConcurrentUseTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { module_ = new morvane::test::RegisteredModule(MORVANE_MODULE_PATH); }
    static void TearDownTestSuite() { delete module_; }
    void SetUp() override { ASSERT_EQ(module_->registration(), S_OK); }

    static inline morvane::test::RegisteredModule *module_ = nullptr;
};

// Runs body(index) on `count` threads, and meanwhile `meanwhile` on this one.
void run_threads(int count, const std::function<void(int)> &body, const std::function<void()> &meanwhile = [] {})
{
    std::vector<std::jthread> threads;
    for (int i = 0; i < count; ++i)
        threads.emplace_back(body, i);
    meanwhile();
}

// Runs `what` `rounds` times in a child shell, with the registration tool as $0 and the module as $1.
int run_registration_tool(const std::string &what, int rounds = 1)
{
    const std::string script = "i=0; while [ $i -lt " + std::to_string(rounds) + " ]; do " + what +
                               " || exit 1; i=$((i+1)); done";
    return morvane::test::run_child({{"/bin/sh", "-c", script, REGSVR_TOOL, MORVANE_MODULE_PATH}, "", {},
                                     std::chrono::minutes(3)}).exit_status;
}

TEST_F(ConcurrentUseTest, ActivationFollowsAnotherProcessRegisteringAgain)
{
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    // The type information is loaded while the type library is registered.
    IMorvane *tracker = nullptr, *other = nullptr;
    ASSERT_EQ(create(tracker), S_OK);
    ASSERT_TRUE(write_and_read_by_name(tracker, 1, kLines));
    // Another process's removal and registration are seen by the next activation.
    ASSERT_EQ(run_registration_tool("\"$0\" -u -s \"$1\""), 0);
    EXPECT_EQ(create(other), REGDB_E_CLASSNOTREG);
    ASSERT_EQ(run_registration_tool("\"$0\" -s \"$1\""), 0);
    ASSERT_EQ(create(other), S_OK);
    other->Release();

    // During the churn the class is either there, with a working object, or not registered.
    std::atomic<bool> stop{false};
    std::atomic<long> created{0};
    run_threads(
        4,
        [&](int) {
            ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
            while (!stop.load()) {
                IMorvane *churned = nullptr;
                const HRESULT hr = create(churned);
                EXPECT_TRUE(hr == S_OK || hr == REGDB_E_CLASSNOTREG) << hr;
                if (hr != S_OK)
                    continue;
                ++created;
                EXPECT_TRUE(write_and_read_by_name(churned, 1, kLines)) << "lines did not read back by name";
                EXPECT_EQ(churned->Release(), 0u) << "the last Release left references";
            }
            CoUninitialize();
        },
        [&] {
            EXPECT_EQ(run_registration_tool("\"$0\" -u -s \"$1\" && \"$0\" -s \"$1\"", 6), 0);
            stop = true;
        });
    EXPECT_GT(created.load(), 0);
    tracker->Release();
    CoUninitialize();
}

TEST_F(ConcurrentUseTest, ThreadsCreateUseAndReleaseTrackersTogether)
{
    const Scene scene;
    std::latch started(kThreads), created(kThreads);
    // Each thread's rounds; the first creations and dispatch calls meet at the latches.
    run_threads(kThreads, [&](int index) {
        const HRESULT initialised = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        EXPECT_EQ(initialised, S_OK);
        started.arrive_and_wait();
        IMorvane *tracker = nullptr;
        EXPECT_EQ(initialised == S_OK ? create(tracker) : S_OK, S_OK);
        created.arrive_and_wait();
        EXPECT_TRUE(!tracker || write_and_read_by_name(tracker, 1, kLines)) << "the first late-bound call";
        for (int round = 1; tracker; ++round) {
            for (const auto &[put, value] :
                 {std::pair{&IMorvane::put_columns, kColumns}, {&IMorvane::put_lines, kLines},
                  {&IMorvane::put_max_features, kPoints}, {&IMorvane::put_feature_width, 3},
                  {&IMorvane::put_feature_height, 3}, {&IMorvane::put_pyramid_levels, 1}})
                EXPECT_EQ((tracker->*put)(value), S_OK) << "a setting's write";
            EXPECT_EQ(tracker->create_morvane(), S_OK);
            const auto &[refused, message] = kRefusedWrites[index % std::size(kRefusedWrites)];
            EXPECT_EQ((tracker->*refused)(0), E_INVALIDARG);
            IErrorInfo *record = nullptr;
            BSTR description = nullptr;
            EXPECT_EQ(GetErrorInfo(0, &record), S_OK);
            if (record) {
                record->GetDescription(&description);
                EXPECT_TRUE(description && std::u16string(description) == message) << "the error record's message";
                SysFreeString(description);
                record->Release();
            }
            _IMorvane *raw = nullptr;
            EXPECT_EQ(tracker->QueryInterface(IID__IMorvane, reinterpret_cast<void **>(&raw)), S_OK);
            if (raw) {
                track(raw, scene);
                raw->Release();
            }
            EXPECT_EQ(tracker->Release(), 0u) << "the last Release left references";
            IClassFactory *factory = nullptr;
            EXPECT_EQ(CoGetClassObject(CLSID_CoMorvane, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                                       reinterpret_cast<void **>(&factory)), S_OK);
            if (factory)
                factory->Release();
            tracker = nullptr;
            EXPECT_EQ(round < kRounds ? create(tracker) : S_OK, S_OK);
        }
        if (initialised == S_OK)
            CoUninitialize();
    });
    // Every object, class-object hold and lock is given back.
    EXPECT_EQ(module_->can_unload_now(), S_OK);
}

// Threads track through one tracker while one thread keeps rebuilding its buffers.
TEST_F(ConcurrentUseTest, ThreadsShareOneTracker)
{
    const Scene scene;
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    IMorvane *tracker = nullptr;
    ASSERT_EQ(create(tracker), S_OK);
    _IMorvane *raw = nullptr;
    ASSERT_EQ(tracker->QueryInterface(IID__IMorvane, reinterpret_cast<void **>(&raw)), S_OK);
    ASSERT_TRUE(tracker->put_columns(kColumns) == S_OK && tracker->put_lines(kLines) == S_OK &&
                tracker->put_max_features(kPoints) == S_OK && tracker->put_calc_match_residue(1) == S_OK &&
                tracker->create_morvane() == S_OK);

    std::latch started(kThreads);
    run_threads(kThreads, [&](int i) {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        started.arrive_and_wait();
        for (int round = 0; round < kRounds; ++round) {
            if (i == 0) {
                EXPECT_TRUE(tracker->destroy_morvane() == S_OK && tracker->create_morvane() == S_OK)
                    << "rebuilding the buffers";
                continue;
            }
            if (i % 2 == 1) {
                VARIANT residue{};
                const HRESULT read = tracker->get_match_residue(&residue);
                EXPECT_TRUE(read == S_OK || read == E_FAIL) << "reading match_residue";
                VariantClear(&residue);
            }
            track(raw, scene);
        }
        CoUninitialize();
    });
    raw->Release();
    EXPECT_EQ(tracker->Release(), 0u);
    CoUninitialize();
}

// Defined only by the address and thread sanitizers' run-time libraries.
extern "C" [[gnu::weak]] void __asan_init();
extern "C" [[gnu::weak]] void __tsan_init();

// After a warm-up, 10^5 activations and 10^5 late-bound calls leave the heap in use (which
// freed memory cannot hide) and the resident memory (which counts mappings) where they were.
TEST(ResidentMemory, StaysFlatOverActivationsAndLateBoundCalls)
{
    if (__asan_init != nullptr || __tsan_init != nullptr)
        GTEST_SKIP() << "the sanitizers keep freed memory on purpose";
    const auto heap_and_resident = [] {
        long pages = 0, resident = 0;
        std::ifstream("/proc/self/statm") >> pages >> resident;
        return std::pair<long, long>(static_cast<long>(mallinfo2().uordblks), resident * sysconf(_SC_PAGESIZE));
    };
    morvane::test::RegisteredModule module(MORVANE_MODULE_PATH);
    ASSERT_EQ(module.registration(), S_OK);
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    IMorvane *tracker = nullptr;
    ASSERT_EQ(create(tracker), S_OK);
    const auto run = [tracker](int calls) {
        for (int i = 0; i < calls; ++i) {
            IMorvane *created = nullptr;
            if (create(created) != S_OK || created->Release() != 0 || !write_and_read_by_name(tracker, 2, 1 + i % 640))
                return false;
        }
        return true;
    };
    ASSERT_TRUE(run(5000));
    const auto before = heap_and_resident();
    ASSERT_TRUE(run(100000));
    const auto after = heap_and_resident();
    // Far below what one leaked byte per call would add up to.
    EXPECT_LT(after.first - before.first, 64 * 1024);
    EXPECT_LT(after.second - before.second, 1024 * 1024);
    tracker->Release();
    CoUninitialize();
}

} // namespace
