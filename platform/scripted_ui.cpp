#include "platform/scripted_ui.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "platform/secure_wipe.h"

namespace torvane::platform {
namespace {

constexpr unsigned kMaxTimerFiresPerStep = 1000;

std::string Hex(std::uint32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%X", static_cast<unsigned>(v));
  return buf;
}

std::string Quote(std::string_view text) { return "\"" + std::string(text) + "\""; }

// Overwrites a text's whole buffer before it is dropped (typed passwords).
void Wipe(std::string& s) { WipeString(s); }

bool ParseInt(const std::string& word, long long& out) {
  if (word.empty()) return false;
  char* end = nullptr;
  out = std::strtoll(word.c_str(), &end, 0);
  return end && *end == '\0';
}

bool Unescape(std::string_view in, std::string& out) {
  out.clear();
  for (std::size_t i = 0; i < in.size(); ++i) {
    if (in[i] != '\\') {
      out += in[i];
      continue;
    }
    if (i + 1 < in.size() && in[i + 1] == '\\') {
      out += '\\';
      ++i;
    } else if (i + 3 < in.size() && in[i + 1] == 'x') {
      long long v = 0;
      if (!ParseInt("0x" + std::string(in.substr(i + 2, 2)), v)) return false;
      out += static_cast<char>(v);
      i += 3;
    } else {
      return false;
    }
  }
  return true;
}

// "ef" -> bits of e and f; "0x20" or "32" -> that mask.
bool ParseMask(const std::string& word, std::uint32_t& mask) {
  long long v = 0;
  if (!word.empty() && (word[0] >= '0' && word[0] <= '9') && ParseInt(word, v)) {
    mask = static_cast<std::uint32_t>(v);
    return true;
  }
  mask = 0;
  for (char c : word) {
    const char l = static_cast<char>(c | 0x20);
    if (l < 'a' || l > 'z') return false;
    mask |= 1u << (l - 'a');
  }
  return !word.empty();
}

// A broadcast header's device type: a number or its DBT_DEVTYP_ name.
bool ParseDeviceType(const std::string& word, std::uint32_t& type) {
  static const std::map<std::string, std::uint32_t> kNames = {
      {"oem", 0}, {"volume", 2}, {"port", 3}, {"interface", 5}, {"handle", 6}};
  if (auto it = kNames.find(word); it != kNames.end()) {
    type = it->second;
    return true;
  }
  long long v = 0;
  if (!ParseInt(word, v) || v < 0 || v > 0xFFFFFFFFLL) return false;
  type = static_cast<std::uint32_t>(v);
  return true;
}

}  // namespace

class ScriptedUi::Window final : public DialogWindow {
 public:
  Window(ScriptedUi& ui, int id, DialogHandler& handler)
      : ui_(ui), id_(id), thread_(std::this_thread::get_id()), handler_(handler) {}
  ~Window() override {
    for (auto& [id, c] : controls_) Wipe(c.text);
  }

  int TemplateId() const override { return id_; }
  std::string GetItemText(int id) override { return controls_[id].text; }
  void SetItemText(int id, std::string_view text) override {
    controls_[id].text.assign(text);
    Log("set " + std::to_string(id) + " " + Quote(text));
  }
  void SetTitle(std::string_view text) override { Log("title " + Quote(text)); }
  int IsDlgButtonChecked(int id) override { return controls_[id].checked; }
  void CheckDlgButton(int id, int state) override {
    controls_[id].checked = state;
    Log("check " + std::to_string(id) + " " + std::to_string(state));
  }
  void EnableItem(int id, bool enable) override {
    controls_[id].enabled = enable;
    Log("enable " + std::to_string(id) + " " + (enable ? "1" : "0"));
  }
  void SetFocus(int id) override { Log("focus " + std::to_string(id)); }
  void CenterWindow() override { Log("centre"); }
  void ShowAt(int x, int y, int width, int height) override {
    Log("show " + std::to_string(x) + "," + std::to_string(y) + " " + std::to_string(width) + "x" +
        std::to_string(height));
  }
  void EndDialog(int result) override {
    ended_ = true;
    result_ = result;
  }
  bool SetTimer(unsigned id, unsigned milliseconds) override {
    timers_[id] = Timer{milliseconds == 0 ? 1 : milliseconds, 0};
    Log("settimer " + std::to_string(id) + " " + std::to_string(milliseconds));
    return true;
  }
  void KillTimer(unsigned id) override {
    timers_.erase(id);
    Log("killtimer " + std::to_string(id));
  }

  void Log(const std::string& what) { ui_.Write(std::to_string(id_) + " " + what); }

  struct Control {
    std::string text;
    int checked = kBstUnchecked;
    bool enabled = true;
  };
  struct Timer {
    unsigned period;
    unsigned elapsed;
  };

  ScriptedUi& ui_;
  const int id_;
  const std::thread::id thread_;
  DialogHandler& handler_;
  std::map<int, Control> controls_;
  std::map<unsigned, Timer> timers_;
  bool ended_ = false;
  int result_ = kIdCancel;
};

bool ScriptedUi::ParseLine(std::string line, int number, std::optional<Step>& step, std::string* error) {
  step.reset();
  auto fail = [&](const std::string& why) {
    if (error) *error = "line " + std::to_string(number) + ": " + why;
    return false;
  };
  if (!line.empty() && line.back() == '\r') line.pop_back();
  const auto start = line.find_first_not_of(" \t");
  if (start == std::string::npos || line[start] == '#') return true;
  line.erase(0, start);
  std::istringstream words(line);
  std::string verb, a, b;
  words >> verb >> a >> b;
  Step s;
  s.kind = Kind::kPress;
  s.line = number;
  long long v = 0;
  auto needId = [&](const std::string& w) { return ParseInt(w, v) && v >= 0 && v <= 0xFFFF; };
  if (verb == "dialog" || verb == "check" || verb == "uncheck" || verb == "press" || verb == "timer") {
    if (!needId(a)) return fail("'" + verb + "' needs a numeric id");
    s.kind = verb == "dialog" ? Kind::kDialog
             : verb == "check" ? Kind::kCheck
             : verb == "uncheck" ? Kind::kUncheck
             : verb == "press" ? Kind::kPress
                               : Kind::kTimer;
    s.id = static_cast<int>(v);
  } else if (verb == "type") {
    if (!needId(a)) return fail("'type' needs a control id");
    s.kind = Kind::kType;
    s.id = static_cast<int>(v);
    const std::size_t at = line.find(a, 4) + a.size();
    const std::string rest = at < line.size() ? line.substr(at + 1) : std::string();
    if (!Unescape(rest, s.text)) return fail("bad escape in text");
  } else if (verb == "enter") {
    s.kind = Kind::kPress;
    s.id = kIdOk;
  } else if (verb == "close" || verb == "escape") {
    s.kind = Kind::kClose;
  } else if (verb == "wait" || verb == "sleep") {
    if (!ParseInt(a, v) || v < 0 || v > 86400000) return fail("'" + verb + "' needs milliseconds");
    s.kind = verb == "wait" ? Kind::kWait : Kind::kSleep;
    s.ms = static_cast<unsigned>(v);
  } else if (verb == "box") {
    s.kind = Kind::kBox;
    s.id = kIdOk;
    if (!a.empty()) {
      if (!needId(a)) return fail("'box' takes a button id");
      s.id = static_cast<int>(v);
    }
  } else if (verb == "arrive") {
    s.kind = Kind::kArrive;
    s.hasHeader = !a.empty();
    s.devType = 0;
    if (s.hasHeader && !ParseDeviceType(a, s.devType)) return fail("bad device type '" + a + "'");
  } else if (verb == "remove") {
    s.kind = Kind::kRemove;
    if (!ParseMask(a, s.mask)) return fail("'remove' needs drive letters or a mask");
    if (b == "none") {
      s.hasHeader = false;
      s.devType = 0;
    } else if (!b.empty()) {
      if (!ParseDeviceType(b, s.devType)) return fail("bad device type '" + b + "'");
    }
  } else if (verb == "call") {
    if (a.empty()) return fail("'call' needs a hook name");
    s.kind = Kind::kCall;
    s.text = a;
  } else if (verb == "quit") {
    s.kind = Kind::kQuit;
  } else {
    return fail("unknown step '" + verb + "'");
  }
  step = std::move(s);
  return true;
}

std::unique_ptr<ScriptedUi> ScriptedUi::FromText(std::string_view script, std::string* error) {
  std::vector<Step> steps;
  std::istringstream in{std::string(script)};
  int number = 0;
  for (std::string line; std::getline(in, line);) {
    std::optional<Step> step;
    if (!ParseLine(std::move(line), ++number, step, error)) return nullptr;
    if (step) steps.push_back(std::move(*step));
  }
  return std::make_unique<ScriptedUi>(std::move(steps));
}

ScriptedUi::ScriptedUi(std::vector<Step> steps) : steps_(std::move(steps)) {}

ScriptedUi::~ScriptedUi() {
  for (auto& s : steps_) Wipe(s.text);
}

void ScriptedUi::SetTranscriptSink(std::function<void(const std::string&)> sink) {
  std::lock_guard<std::mutex> hold(mu_);
  sink_ = std::move(sink);
}

void ScriptedUi::SetHook(const std::string& name, std::function<void()> hook) {
  std::lock_guard<std::mutex> hold(mu_);
  hooks_[name] = std::move(hook);
}

std::vector<std::string> ScriptedUi::Transcript() const {
  std::lock_guard<std::mutex> hold(mu_);
  return transcript_;
}

bool ScriptedUi::Exhausted() const {
  std::lock_guard<std::mutex> hold(mu_);
  return cursor_ >= steps_.size();
}

void ScriptedUi::Write(const std::string& line) {
  std::lock_guard<std::mutex> hold(mu_);
  WriteLocked(line);
}

void ScriptedUi::WriteLocked(const std::string& line) {
  std::string stamped = line;
  if (timestamps_) {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - start_)
                        .count();
    stamped = "[" + std::to_string(ms) + "] " + line;
  }
  if (sink_) sink_(stamped);
  // A live feed may run for months (`torvane-host run`): what it hands to
  // the sink is not also kept.
  if (!(live_ && sink_)) transcript_.push_back(std::move(stamped));
}

void ScriptedUi::DropTakenLocked() {
  constexpr std::size_t kBatch = 64;  // dropped in batches, so taking a step stays cheap
  if (!live_ || cursor_ < kBatch) return;
  for (std::size_t i = 0; i < cursor_; ++i) Wipe(steps_[i].text);
  steps_.erase(steps_.begin(), steps_.begin() + static_cast<std::ptrdiff_t>(cursor_));
  dropped_ += cursor_;
  cursor_ = 0;
}

void ScriptedUi::SetTimestamps(bool on) {
  std::lock_guard<std::mutex> hold(mu_);
  timestamps_ = on;
}

void ScriptedUi::StartFeed() {
  std::lock_guard<std::mutex> hold(mu_);
  live_ = true;
}

void ScriptedUi::Feed(const std::string& line) {
  std::optional<Step> step;
  std::string error;
  std::lock_guard<std::mutex> hold(mu_);
  if (!ParseLine(line, ++fedLines_, step, &error)) {
    WriteLocked("note: " + error + ", skipped");
    return;
  }
  if (!step) return;
  steps_.push_back(std::move(*step));
  ++generation_;
  cv_.notify_all();
}

void ScriptedUi::EndFeed() {
  std::lock_guard<std::mutex> hold(mu_);
  live_ = false;
  ++generation_;
  cv_.notify_all();
}

bool ScriptedUi::Claimable(const Step& s, const Window& w) const {
  switch (s.kind) {
    case Kind::kDialog:
    case Kind::kBox:
      return false;
    case Kind::kArrive:
    case Kind::kRemove:
    case Kind::kTimer:
    case Kind::kQuit:
      // The main window's messages are dispatched by any modal loop of its
      // thread, nested dialogs' included.
      return !open_.empty() && (open_.front() == &w ||
                                (open_.back() == &w && open_.front()->thread_ == w.thread_));
    case Kind::kCall:
    case Kind::kSleep:
      return true;
    default:
      return !open_.empty() && open_.back() == &w;
  }
}

bool ScriptedUi::OthersOpen(const Window& w) const {
  if (!open_.empty() && open_.front() == &w && open_.size() == 1) return true;  // main window
  return std::any_of(open_.begin(), open_.end(),
                     [&](const Window* o) { return o->thread_ != w.thread_; });
}

std::optional<ScriptedUi::Step> ScriptedUi::Next(Window& w, Window*& target) {
  std::unique_lock<std::mutex> lock(mu_);
  for (;;) {
    while (std::chrono::steady_clock::now() < sleepUntil_) cv_.wait_until(lock, sleepUntil_);
    DropTakenLocked();
    if (cursor_ >= steps_.size()) {
      if (!live_) break;
      const std::uint64_t seen = generation_;
      cv_.wait(lock, [&] { return generation_ != seen; });
      continue;
    }
    const Step& s = steps_[cursor_];
    if (Claimable(s, w)) {
      Step taken = s;
      ++cursor_;
      ++generation_;
      cv_.notify_all();
      if (taken.kind == Kind::kSleep) {
        WriteLocked(std::to_string(w.id_) + " sleep " + std::to_string(taken.ms));
        sleepUntil_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(taken.ms);
        continue;
      }
      const bool forMain = taken.kind == Kind::kArrive || taken.kind == Kind::kRemove ||
                           taken.kind == Kind::kTimer || taken.kind == Kind::kQuit;
      target = forMain ? open_.front() : &w;
      return taken;
    }
    // Counted from the first step ever fed, which stays true while taken
    // steps are dropped during the wait.
    const std::size_t at = dropped_ + cursor_;
    if (OthersOpen(w)) {
      const std::uint64_t seen = generation_;
      if (cv_.wait_for(lock, stepWait_, [&] { return generation_ != seen; })) continue;
    }
    if (dropped_ + cursor_ == at) {
      WriteLocked("note: line " + std::to_string(steps_[cursor_].line) + " dropped: no window took it");
      ++cursor_;
      ++generation_;
      cv_.notify_all();
    }
  }
  // Out of steps. The main window outlives the dialogs of other threads.
  if (!open_.empty() && open_.front() == &w) {
    cv_.wait_for(lock, stepWait_, [&] { return open_.size() == 1; });
  }
  return std::nullopt;
}

void ScriptedUi::Apply(Window& w, DialogHandler& handler, const Step& s) {
  switch (s.kind) {
    case Kind::kType:
      w.controls_[s.id].text = s.text;
      w.Log("type " + std::to_string(s.id) + " " + Quote(std::string(s.text.size(), '*')));
      break;
    case Kind::kCheck:
    case Kind::kUncheck:
      w.controls_[s.id].checked = s.kind == Kind::kCheck ? kBstChecked : kBstUnchecked;
      w.Log("check " + std::to_string(s.id) + " " + std::to_string(w.controls_[s.id].checked));
      break;
    case Kind::kPress:
      if (!w.controls_[s.id].enabled) {
        w.Log("press " + std::to_string(s.id) + " ignored: disabled");
        break;
      }
      w.Log("press " + std::to_string(s.id));
      handler.OnCommand(w, s.id);
      break;
    case Kind::kClose:
      w.Log("close");
      handler.OnCommand(w, kIdCancel);
      break;
    case Kind::kWait: {
      for (auto& [id, t] : std::map<unsigned, Window::Timer>(w.timers_)) {
        unsigned fires = (t.elapsed + s.ms) / t.period;
        const unsigned rest = (t.elapsed + s.ms) % t.period;
        if (auto it = w.timers_.find(id); it != w.timers_.end()) it->second.elapsed = rest;
        for (fires = std::min(fires, kMaxTimerFiresPerStep); fires > 0 && !w.ended_; --fires) {
          if (!w.timers_.count(id)) break;  // killed by its own handler
          w.Log("timer " + std::to_string(id));
          handler.OnTimer(w, id);
        }
      }
      break;
    }
    case Kind::kTimer:
      w.Log("timer " + std::to_string(s.id));
      handler.OnTimer(w, static_cast<unsigned>(s.id));
      break;
    case Kind::kArrive: {
      w.Log(s.hasHeader ? "arrive type " + std::to_string(s.devType) : std::string("arrive"));
      DeviceChange c;
      c.event = kDbtDeviceArrival;
      c.hasHeader = s.hasHeader;
      c.deviceType = s.devType;
      handler.OnDeviceChange(w, c);
      break;
    }
    case Kind::kQuit: {
      // As a quit message does, it ends every modal loop of the thread.
      w.Log("quit");
      std::lock_guard<std::mutex> hold(mu_);
      for (Window* o : open_) {
        if (o->thread_ == w.thread_) o->EndDialog(kIdCancel);
      }
      break;
    }
    case Kind::kRemove: {
      DeviceChange c;
      c.event = kDbtDeviceRemoveComplete;
      c.hasHeader = s.hasHeader;
      c.deviceType = s.devType;
      c.unitMask = s.mask;
      w.Log("remove " + Hex(s.mask) + (s.hasHeader ? " type " + std::to_string(s.devType) : " no data"));
      handler.OnDeviceChange(w, c);
      break;
    }
    case Kind::kCall: {
      std::function<void()> hook;
      {
        std::lock_guard<std::mutex> hold(mu_);
        if (auto it = hooks_.find(s.text); it != hooks_.end()) hook = it->second;
      }
      w.Log("call " + s.text + (hook ? "" : " (no such hook)"));
      if (hook) hook();
      break;
    }
    case Kind::kDialog:
    case Kind::kBox:
    case Kind::kSleep:
      break;
  }
}

int ScriptedUi::RunModal(int templateId, DialogHandler& handler) {
  Window w(*this, templateId, handler);
  {
    std::lock_guard<std::mutex> hold(mu_);
    open_.push_back(&w);
    WriteLocked("dialog " + std::to_string(templateId) + " open");
    if (cursor_ < steps_.size() && steps_[cursor_].kind == Kind::kDialog &&
        steps_[cursor_].id == templateId) {
      ++cursor_;
    }
    ++generation_;
    cv_.notify_all();
  }
  handler.OnInitDialog(w);
  while (!w.ended_) {
    Window* target = &w;
    std::optional<Step> step = Next(w, target);
    if (!step) {
      w.Log("script ended");
      w.EndDialog(kIdCancel);
      break;
    }
    Apply(*target, target->handler_, *step);
    Wipe(step->text);
  }
  std::lock_guard<std::mutex> hold(mu_);
  open_.erase(std::find(open_.begin(), open_.end(), &w));
  WriteLocked("dialog " + std::to_string(templateId) + " end " + std::to_string(w.result_));
  ++generation_;
  cv_.notify_all();
  return w.result_;
}

int ScriptedUi::MessageBox(DialogWindow* owner, std::string_view text, std::string_view caption,
                           unsigned type) {
  std::lock_guard<std::mutex> hold(mu_);
  int answer = kIdOk;
  if (cursor_ < steps_.size() && steps_[cursor_].kind == Kind::kBox) {
    answer = steps_[cursor_].id;
    ++cursor_;
    ++generation_;
    cv_.notify_all();
  }
  WriteLocked("box " + std::to_string(owner ? owner->TemplateId() : 0) + " " + Quote(caption) + " " +
              Hex(type) + " " + Quote(text) + " -> " + std::to_string(answer));
  return answer;
}

void ScriptedUi::MessageBeep(unsigned type) { Write("beep " + Hex(type)); }

}  // namespace torvane::platform
