// Many threads use the registered component at once through the component system:
// they create and release trackers, configure and run them, fetch the class object,
// and make their first late-bound call together, so that the lazy class-object
// creation, the once-only type-information load, reference and lock counting and
// the per-thread error records all meet concurrent callers. Afterwards the module
// must be unloadable again. Threads also share one tracker, whose calls must
// then run one after the other, and keep activating while another process
// unregisters and registers the component again and again.
#include "child_process.h"
#include "registered_module.h"
#include "textured_frame.h"

#include <morvane.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <latch>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int kThreads = 8;
constexpr int kRounds = 100;
constexpr int kColumns = 64;
constexpr int kLines = 48;
constexpr int kPoints = 12;
constexpr double kMotionX = 1.4;
constexpr double kMotionY = -0.8;

// Frames and points shared read-only by every thread.
struct Scene {
    Scene()
        : first(morvane::test::textured_frame(kColumns, kLines)),
          second(morvane::test::textured_frame(kColumns, kLines, kMotionX, kMotionY))
    {
        for (int i = 0; i < kPoints; ++i) {
            points.push_back(14.0f + 9.0f * static_cast<float>(i % 4) + 0.25f);
            points.push_back(12.0f + 10.0f * static_cast<float>(i / 4) + 0.5f);
        }
    }
    cv::Mat first, second;
    std::vector<float> points;
};

// One refused write per thread, so that each thread expects its own message.
struct RefusedWrite {
    HRESULT (STDMETHODCALLTYPE IMorvane::*put)(LONG);
    const char *message;
};
const RefusedWrite kRefusedWrites[] = {
    {&IMorvane::put_lines, "Number of lines must be a positive integer"},
    {&IMorvane::put_columns, "Number of columns must be a positive integer"},
    {&IMorvane::put_max_features, "Number of maximum features must be a positive integer"},
    {&IMorvane::put_feature_width, "Feature window width must be a positive integer"},
};

// Collects what went wrong on one thread, reported by the main thread afterwards.
class Faults {
public:
    explicit Faults(int thread) : thread_(thread) {}
    bool expect(bool ok, const std::string &what)
    {
        if (!ok)
            out_ << "thread " << thread_ << ": " << what << '\n';
        return ok;
    }
    bool expect_hr(HRESULT got, HRESULT want, const std::string &what)
    {
        return expect(got == want, what + " returned " + std::to_string(got));
    }
    std::string text() const { return out_.str(); }

private:
    int thread_;
    std::ostringstream out_;
};

class ConcurrentUse {
public:
    ConcurrentUse(int index, const Scene &scene, std::latch &started, std::latch &created)
        : index_(index), scene_(scene), started_(started), created_(created), faults_(index)
    {
    }

    void run()
    {
        const bool initialised = faults_.expect_hr(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK,
                                                   "CoInitializeEx");
        // The first creations meet in the lazy creation of the class object, the
        // first dispatch calls in the load of the type information.
        started_.arrive_and_wait();
        IMorvane *tracker = initialised ? create() : nullptr;
        created_.arrive_and_wait();
        if (tracker)
            first_late_bound_call(tracker);
        for (int round = 0; tracker; ++round) {
            use(tracker);
            faults_.expect(tracker->Release() == 0, "the last Release left references");
            fetch_class_object();
            tracker = round + 1 < kRounds ? create() : nullptr;
        }
        if (initialised)
            CoUninitialize();
    }

    std::string faults() const { return faults_.text(); }

private:
    IMorvane *create()
    {
        IMorvane *tracker = nullptr;
        faults_.expect_hr(CoCreateInstance(CLSID_CoMorvane, nullptr, CLSCTX_INPROC_SERVER, IID_IMorvane,
                                           reinterpret_cast<void **>(&tracker)),
                          S_OK, "CoCreateInstance");
        return tracker;
    }

    void first_late_bound_call(IMorvane *tracker)
    {
        char16_t name[] = u"lines";
        LPOLESTR names[] = {name};
        DISPID id = -1;
        faults_.expect_hr(tracker->GetIDsOfNames(IID_NULL, names, 1, 0x0409, &id), S_OK, "GetIDsOfNames");
        faults_.expect(id == 1, "\"lines\" resolved to dispatch ID " + std::to_string(id));
    }

    void use(IMorvane *tracker)
    {
        const std::pair<HRESULT (STDMETHODCALLTYPE IMorvane::*)(LONG), LONG> settings[] = {
            {&IMorvane::put_columns, kColumns},      {&IMorvane::put_lines, kLines},
            {&IMorvane::put_max_features, kPoints},  {&IMorvane::put_feature_width, 3},
            {&IMorvane::put_feature_height, 3},      {&IMorvane::put_pyramid_levels, 1},
            {&IMorvane::put_stop_iterations, 20},
        };
        for (const auto &[put, value] : settings)
            faults_.expect_hr((tracker->*put)(value), S_OK, "a setting's write");
        faults_.expect_hr(tracker->put_stop_epsilon(0.01f), S_OK, "writing stop_epsilon");
        faults_.expect_hr(tracker->create_morvane(), S_OK, "create_morvane");
        refuse_write(tracker);
        track(tracker);
    }

    // Each thread's refused write leaves that thread's own record.
    void refuse_write(IMorvane *tracker)
    {
        const RefusedWrite &write = kRefusedWrites[index_ % std::size(kRefusedWrites)];
        faults_.expect_hr((tracker->*write.put)(0), E_INVALIDARG, "a refused write");
        IErrorInfo *record = nullptr;
        if (!faults_.expect_hr(GetErrorInfo(0, &record), S_OK, "GetErrorInfo") || !record)
            return;
        BSTR description = nullptr;
        record->GetDescription(&description);
        faults_.expect(description && std::u16string(description) == std::u16string(write.message, write.message + std::strlen(write.message)),
                       std::string("the error record does not say \"") + write.message + "\"");
        SysFreeString(description);
        record->Release();
    }

    void track(IMorvane *tracker)
    {
        _IMorvane *raw = nullptr;
        if (!faults_.expect_hr(tracker->QueryInterface(IID__IMorvane, reinterpret_cast<void **>(&raw)),
                               S_OK, "querying _IMorvane"))
            return;
        std::vector<float> found(scene_.points.size());
        std::vector<BYTE> status(kPoints);
        faults_.expect_hr(raw->_track_corners(scene_.first.data, scene_.second.data, kPoints,
                                              const_cast<float *>(scene_.points.data()), found.data(),
                                              status.data(), nullptr),
                          S_OK, "_track_corners");
        for (int i = 0; i < kPoints; ++i) {
            const double dx = found[2 * i] - scene_.points[2 * i] - kMotionX;
            const double dy = found[2 * i + 1] - scene_.points[2 * i + 1] - kMotionY;
            faults_.expect(status[i] == 1 && std::hypot(dx, dy) < 0.2,
                           "point " + std::to_string(i) + " was not tracked with the frames' motion");
        }
        raw->Release();
    }

    void fetch_class_object()
    {
        IClassFactory *factory = nullptr;
        if (faults_.expect_hr(CoGetClassObject(CLSID_CoMorvane, CLSCTX_INPROC_SERVER, nullptr,
                                               IID_IClassFactory, reinterpret_cast<void **>(&factory)),
                              S_OK, "CoGetClassObject") &&
            factory)
            factory->Release();
    }

    int index_;
    const Scene &scene_;
    std::latch &started_;
    std::latch &created_;
    Faults faults_;
};

class ConcurrentUseTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { module_ = new morvane::test::RegisteredModule(MORVANE_MODULE_PATH); }
    static void TearDownTestSuite()
    {
        delete module_;
        module_ = nullptr;
    }
    void SetUp() override { ASSERT_EQ(module_->registration(), S_OK) << "registering " MORVANE_MODULE_PATH; }

    static morvane::test::RegisteredModule *module_;
};

morvane::test::RegisteredModule *ConcurrentUseTest::module_ = nullptr;

// Runs the registration tool in a child process: once, or rounds times
// unregistering and registering again.
int run_registration_tool(const char *what, int rounds = 1)
{
    const std::string script =
        std::string("i=0; while [ $i -lt ") + std::to_string(rounds) + " ]; do " + what +
        " || exit 1; i=$((i+1)); done";
    morvane::test::ChildProcess tool(
        morvane::test::ChildRun{{"/bin/sh", "-c", script, REGSVR_TOOL, MORVANE_MODULE_PATH}});
    return tool.started() ? tool.wait(std::chrono::minutes(3)) : -1;
}

// Activates and reads a property by name until told to stop; the class is
// either there, with a working object, or not registered at that moment.
class ChurnedActivation {
public:
    explicit ChurnedActivation(int index) : faults_(index) {}

    void run(const std::atomic<bool> &stop)
    {
        if (!faults_.expect_hr(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK, "CoInitializeEx"))
            return;
        while (!stop.load()) {
            IMorvane *tracker = nullptr;
            const HRESULT hr = CoCreateInstance(CLSID_CoMorvane, nullptr, CLSCTX_INPROC_SERVER, IID_IMorvane,
                                                reinterpret_cast<void **>(&tracker));
            if (hr == REGDB_E_CLASSNOTREG)
                continue;
            if (!faults_.expect_hr(hr, S_OK, "CoCreateInstance") || !tracker)
                continue;
            ++created_;
            VARIANT lines;
            VariantInit(&lines);
            lines.vt = VT_I4;
            lines.lVal = kLines;
            DISPID put = DISPID_PROPERTYPUT;
            DISPPARAMS write{&lines, &put, 1, 1};
            DISPPARAMS none{nullptr, nullptr, 0, 0};
            VARIANT read;
            VariantInit(&read);
            faults_.expect_hr(tracker->Invoke(1, IID_NULL, 0, DISPATCH_PROPERTYPUT, &write, nullptr, nullptr,
                                              nullptr),
                              S_OK, "Invoke writing lines");
            faults_.expect_hr(tracker->Invoke(1, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &read, nullptr,
                                              nullptr),
                              S_OK, "Invoke reading lines");
            faults_.expect(read.vt == VT_I4 && read.lVal == kLines, "lines did not read back by name");
            faults_.expect(tracker->Release() == 0, "the last Release left references");
        }
        CoUninitialize();
    }

    std::string faults() const { return faults_.text(); }
    long created() const { return created_; }

private:
    Faults faults_;
    long created_ = 0;
};

TEST_F(ConcurrentUseTest, ActivationFollowsAnotherProcessRegisteringAgain)
{
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    // Activation has kept the server's path; the type information is loaded
    // while the type library is registered.
    IMorvane *tracker = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_CoMorvane, nullptr, CLSCTX_INPROC_SERVER, IID_IMorvane,
                               reinterpret_cast<void **>(&tracker)),
              S_OK);
    char16_t name[] = u"lines";
    LPOLESTR names[] = {name};
    DISPID id = -1;
    ASSERT_EQ(tracker->GetIDsOfNames(IID_NULL, names, 1, 0x0409, &id), S_OK);

    // Another process's removal and registration are seen by the next activation.
    ASSERT_EQ(run_registration_tool("\"$0\" -u -s \"$1\""), 0);
    IMorvane *other = nullptr;
    EXPECT_EQ(CoCreateInstance(CLSID_CoMorvane, nullptr, CLSCTX_INPROC_SERVER, IID_IMorvane,
                               reinterpret_cast<void **>(&other)),
              REGDB_E_CLASSNOTREG);
    ASSERT_EQ(run_registration_tool("\"$0\" -s \"$1\""), 0);
    ASSERT_EQ(CoCreateInstance(CLSID_CoMorvane, nullptr, CLSCTX_INPROC_SERVER, IID_IMorvane,
                               reinterpret_cast<void **>(&other)),
              S_OK);
    other->Release();

    constexpr int kChurners = 4;
    std::atomic<bool> stop{false};
    std::vector<ChurnedActivation> churners;
    churners.reserve(kChurners);
    for (int i = 0; i < kChurners; ++i)
        churners.emplace_back(i);
    {
        std::vector<std::jthread> threads;
        for (ChurnedActivation &churner : churners)
            threads.emplace_back([&churner, &stop] { churner.run(stop); });
        EXPECT_EQ(run_registration_tool("\"$0\" -u -s \"$1\" && \"$0\" -s \"$1\"", 6), 0);
        stop = true;
    }
    long created = 0;
    for (const ChurnedActivation &churner : churners) {
        EXPECT_EQ(churner.faults(), "");
        created += churner.created();
    }
    EXPECT_GT(created, 0);

    tracker->Release();
    CoUninitialize();
}

TEST_F(ConcurrentUseTest, ThreadsCreateUseAndReleaseTrackersTogether)
{
    const Scene scene;
    std::latch started(kThreads), created(kThreads);
    std::vector<ConcurrentUse> users;
    users.reserve(kThreads);
    for (int i = 0; i < kThreads; ++i)
        users.emplace_back(i, scene, started, created);
    {
        std::vector<std::jthread> threads;
        for (ConcurrentUse &user : users)
            threads.emplace_back([&user] { user.run(); });
    }
    for (const ConcurrentUse &user : users)
        EXPECT_EQ(user.faults(), "");

    // Every object, class-object hold and lock is given back.
    EXPECT_EQ(module_->can_unload_now(), S_OK);

}

// Several threads call one tracker at once: each tracking call tracks the
// frames' motion, while one thread keeps releasing and rebuilding the buffers.
TEST_F(ConcurrentUseTest, ThreadsShareOneTracker)
{
    const Scene scene;
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    IMorvane *tracker = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_CoMorvane, nullptr, CLSCTX_INPROC_SERVER, IID_IMorvane,
                               reinterpret_cast<void **>(&tracker)),
              S_OK);
    _IMorvane *raw = nullptr;
    ASSERT_EQ(tracker->QueryInterface(IID__IMorvane, reinterpret_cast<void **>(&raw)), S_OK);
    tracker->put_columns(kColumns);
    tracker->put_lines(kLines);
    tracker->put_max_features(kPoints);
    tracker->put_calc_match_residue(1);
    ASSERT_EQ(tracker->create_morvane(), S_OK);

    std::latch started(kThreads);
    std::vector<Faults> faults;
    for (int i = 0; i < kThreads; ++i)
        faults.emplace_back(i);
    {
        std::vector<std::jthread> threads;
        for (int i = 0; i < kThreads; ++i) {
            threads.emplace_back([&, i] {
                Faults &fault = faults[static_cast<std::size_t>(i)];
                CoInitializeEx(nullptr, COINIT_MULTITHREADED);
                started.arrive_and_wait();
                for (int round = 0; round < kRounds; ++round) {
                    if (i == 0) {
                        fault.expect_hr(tracker->destroy_morvane(), S_OK, "destroy_morvane");
                        fault.expect_hr(tracker->create_morvane(), S_OK, "create_morvane");
                        continue;
                    }
                    if (i % 2 == 1) {
                        VARIANT residue;
                        VariantInit(&residue);
                        const HRESULT read = tracker->get_match_residue(&residue);
                        fault.expect(read == S_OK || read == E_FAIL, "reading match_residue");
                        VariantClear(&residue);
                    }
                    std::vector<float> found(scene.points.size());
                    std::vector<BYTE> status(kPoints);
                    fault.expect_hr(raw->_track_corners(scene.first.data, scene.second.data, kPoints,
                                                        const_cast<float *>(scene.points.data()),
                                                        found.data(), status.data(), nullptr),
                                    S_OK, "_track_corners");
                    for (int p = 0; p < kPoints; ++p) {
                        const double dx = found[2 * p] - scene.points[2 * p] - kMotionX;
                        const double dy = found[2 * p + 1] - scene.points[2 * p + 1] - kMotionY;
                        fault.expect(status[p] == 1 && std::hypot(dx, dy) < 0.2,
                                     "point " + std::to_string(p) + " was not tracked with the frames' motion");
                    }
                }
                CoUninitialize();
            });
        }
    }
    for (const Faults &fault : faults)
        EXPECT_EQ(fault.text(), "");
    raw->Release();
    EXPECT_EQ(tracker->Release(), 0u);
    CoUninitialize();
}

} // namespace
