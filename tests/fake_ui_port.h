#pragma once
// A user interface that records what the handlers ask of it, in order, and
// answers the file and property dialogs from a script, so commands run
// without a display.

#include <deque>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "session/ui_port.h"

namespace meshara::testing {

class FakeUiPort : public UiPort {
public:
    // One scripted answer of the file dialog.
    struct FileAnswer {
        bool cancelled = false;
        std::string path;
        int filterIndex = 0;
    };
    using BackgroundScript = std::function<bool(float rgb[3], const std::function<void(const float*)>& apply)>;
    using LightScript = std::function<bool(LightRecord& light, const std::function<void()>& apply)>;

    // Every call, in order: "redraw", "refresh", "spin", "choose:<initial name>",
    // "message:<text>", "background-dialog", "light-dialog", "about".
    std::vector<std::string> log;
    // The secondary text of every message box, in order.
    std::vector<std::string> details;
    // Every file dialog shown, in order.
    std::vector<FileDialogRequest> fileDialogs;

    // Answers for the file dialog; an empty queue cancels.
    void AnswerFile(std::string path, int filterIndex = 0) {
        fileAnswers_.push_back(FileAnswer{false, std::move(path), filterIndex});
    }
    void CancelFile() { fileAnswers_.push_back(FileAnswer{true, {}, 0}); }

    // Without a script both dialogs end with Cancel and touch nothing.
    BackgroundScript backgroundDialog;
    LightScript lightDialog;

    // The log so far, which then starts afresh, so each step can be checked on its own.
    std::vector<std::string> TakeLog() { return std::exchange(log, {}); }

    void RequestRedraw() override { log.emplace_back("redraw"); }
    void RefreshOptionsBar() override { log.emplace_back("refresh"); }
    void SpinStep() override { log.emplace_back("spin"); }

    bool ChooseFile(const FileDialogRequest& dialog, std::string& path, int& filterIndex) override {
        log.push_back("choose:" + dialog.initialName);
        fileDialogs.push_back(dialog);
        if (fileAnswers_.empty()) return false;
        FileAnswer answer = std::move(fileAnswers_.front());
        fileAnswers_.pop_front();
        if (answer.cancelled) return false;
        path = std::move(answer.path);
        filterIndex = answer.filterIndex;
        return true;
    }

    void ShowMessage(const std::string& text, const std::string& detail) override {
        log.push_back("message:" + text);
        details.push_back(detail);
    }

    bool RunBackgroundColorDialog(float rgb[3], const std::function<void(const float*)>& apply) override {
        log.emplace_back("background-dialog");
        return backgroundDialog ? backgroundDialog(rgb, apply) : false;
    }

    bool RunLightPropertiesDialog(LightRecord& light, const std::function<void()>& apply) override {
        log.emplace_back("light-dialog");
        return lightDialog ? lightDialog(light, apply) : false;
    }

    void ShowAbout() override { log.emplace_back("about"); }

    void SetPlaybackTimer(bool running) override { log.emplace_back(running ? "timer:on" : "timer:off"); }
    PixelSize ViewSize() const override { return viewSize; }
    bool ReadViewPixels(PixelSize& size, std::vector<uint8_t>& rgb) override {
        log.emplace_back("read-view");
        if (viewPixels.empty()) return false;
        size = viewSize;
        rgb = viewPixels;
        return true;
    }
    PixelSize viewSize{320, 240};
    std::vector<uint8_t> viewPixels;  // what the view shows; empty: no view

private:
    std::deque<FileAnswer> fileAnswers_;
};

}  // namespace meshara::testing
