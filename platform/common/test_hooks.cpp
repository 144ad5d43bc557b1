#include "platform/test_hooks.h"

#include "common/test_hooks_internal.h"

#include <atomic>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <sstream>

namespace platform::hooks {
namespace {

struct HookState {
    std::mutex mutex;
    std::deque<int> answers;
    std::vector<MessageBoxRecord> boxes;
    D3DFailure d3dFailure = D3DFailure::None;
    bool capturing = false;
    std::vector<std::string> debugOutput;
    std::atomic<bool> tracing{false};
    std::vector<D3DCall> trace;

    HookState() {
        if (const char* env = std::getenv("MORVANE_TEST_MSGBOX")) {
            std::string list = env;
            size_t start = 0;
            while (start <= list.size()) {
                size_t comma = list.find(',', start);
                if (comma == std::string::npos) comma = list.size();
                std::string word = list.substr(start, comma - start);
                if (word == "yes") answers.push_back(6);
                else if (word == "no") answers.push_back(7);
                else if (word == "ok") answers.push_back(1);
                else if (word == "cancel") answers.push_back(2);
                start = comma + 1;
            }
        }
        if (const char* env = std::getenv("MORVANE_TEST_D3D_FAIL")) {
            if (std::strcmp(env, "create") == 0) d3dFailure = D3DFailure::Create;
            else if (std::strcmp(env, "hal") == 0) d3dFailure = D3DFailure::HalDevice;
            else if (std::strcmp(env, "all") == 0) d3dFailure = D3DFailure::AllDevices;
        }
    }
};

// Never destroyed: global objects of the game may call into the layer during exit.
HookState& State() {
    static HookState* state = new HookState;
    return *state;
}

}  // namespace

void ScriptMessageBoxAnswers(const std::vector<int>& answers) {
    std::lock_guard<std::mutex> lock(State().mutex);
    State().answers.assign(answers.begin(), answers.end());
}

std::vector<MessageBoxRecord> TakeMessageBoxRecords() {
    std::lock_guard<std::mutex> lock(State().mutex);
    std::vector<MessageBoxRecord> out;
    out.swap(State().boxes);
    return out;
}

void SetD3DFailure(D3DFailure failure) {
    std::lock_guard<std::mutex> lock(State().mutex);
    State().d3dFailure = failure;
}

D3DFailure GetD3DFailure() {
    std::lock_guard<std::mutex> lock(State().mutex);
    return State().d3dFailure;
}

namespace {
std::atomic<long long> g_fakeClock{-1};
}  // namespace

void SetFakeClock(long long milliseconds) { g_fakeClock = milliseconds; }

void StartCapturingDebugOutput() {
    std::lock_guard<std::mutex> lock(State().mutex);
    State().capturing = true;
    State().debugOutput.clear();
}

std::vector<std::string> TakeDebugOutput() {
    std::lock_guard<std::mutex> lock(State().mutex);
    std::vector<std::string> out;
    out.swap(State().debugOutput);
    return out;
}

void StopCapturingDebugOutput() {
    std::lock_guard<std::mutex> lock(State().mutex);
    State().capturing = false;
    State().debugOutput.clear();
}

std::string D3DCall::ToString() const {
    std::ostringstream s;
    s << name << "(";
    bool first = true;
    for (int64_t a : args) {
        s << (first ? "" : ", ") << a;
        first = false;
    }
    for (float v : values) {
        s << (first ? "" : ", ") << v;
        first = false;
    }
    s << ")";
    return s.str();
}

void StartD3DTrace() {
    std::lock_guard<std::mutex> lock(State().mutex);
    State().trace.clear();
    State().tracing = true;
}

void StopD3DTrace() {
    std::lock_guard<std::mutex> lock(State().mutex);
    State().tracing = false;
    State().trace.clear();
}

std::vector<D3DCall> TakeD3DTrace() {
    std::lock_guard<std::mutex> lock(State().mutex);
    std::vector<D3DCall> out;
    out.swap(State().trace);
    return out;
}

namespace internal {

bool D3DTraceOn() { return State().tracing.load(std::memory_order_relaxed); }

void RecordD3DCall(D3DCall call) {
    std::lock_guard<std::mutex> lock(State().mutex);
    if (State().tracing) State().trace.push_back(std::move(call));
}

bool NextScriptedAnswer(int* answer) {
    std::lock_guard<std::mutex> lock(State().mutex);
    if (State().answers.empty()) return false;
    *answer = State().answers.front();
    State().answers.pop_front();
    return true;
}

void RecordMessageBox(const MessageBoxRecord& record) {
    std::lock_guard<std::mutex> lock(State().mutex);
    State().boxes.push_back(record);
}

bool FakeClock(long long* milliseconds) {
    long long now = g_fakeClock;
    if (now < 0) return false;
    *milliseconds = now;
    return true;
}

void RecordDebugOutput(const char* text) {
    std::lock_guard<std::mutex> lock(State().mutex);
    if (State().capturing) State().debugOutput.emplace_back(text ? text : "");
}

}  // namespace internal
}  // namespace platform::hooks
