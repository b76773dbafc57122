#pragma once
// A user interface that records what the handlers ask of it, in order, and answers the file and
// property dialogs from a script, so commands run without a display.

#include <deque>
#include <tuple>
#include <utility>

#include "session/ui_port.h"

namespace meshara::testing {

class FakeUiPort : public UiPort {
public:
    // Every call, in order: "redraw", "view", "refresh", "spin", "choose:<initial name>", "message:<text> | <detail>",
    // "background-dialog", "light-dialog", "about", "timer:on", "timer:off", "read-view",
    // "progress:<title> | <text> | <total>", "progress:end", "layout:<width>x<height>", "layout:hidden",
    // "findings:<lines>". Scenes drawn go to scenes, steps to progressSteps, the skin layout last shown to layout.
    std::vector<std::string> log;
    std::vector<FileDialogRequest> fileDialogs;
    // Without a script both dialogs end with Cancel and touch nothing.
    std::function<bool(float rgb[3], const std::function<void(const float*)>& apply)> backgroundDialog;
    std::function<bool(LightRecord& light, const std::function<void()>& apply)> lightDialog;
    PixelSize viewSize{320, 240};
    std::vector<uint8_t> viewPixels;  // what the view shows; empty: no view
    // Answers the archive chooser (logged as "archive:<path>: <names>"); without it, Cancel.
    std::function<std::vector<size_t>(const std::vector<std::string>& models)> archiveChooser;
    std::vector<Scene> scenes;        // every scene ReadScenePixels drew, in order
    std::vector<int> progressSteps;
    SkinLayout layout;
    int cancelAtStep = -1;            // StepProgress answers "cancelled" from this step on

    // The file dialog's answers, in order; once they run out it is cancelled.
    void AnswerFile(std::string path, int filterIndex = 0) { answers_.emplace_back(std::move(path), filterIndex); }
    std::vector<std::string> TakeLog() { return std::exchange(log, {}); }  // the log so far, which starts afresh

    void RequestRedraw() override { log.emplace_back("redraw"); }
    void RedrawView() override { log.emplace_back("view"); }
    void RefreshOptionsBar() override { log.emplace_back("refresh"); }
    void SpinStep() override { log.emplace_back("spin"); }
    void ShowAbout() override { log.emplace_back("about"); }
    void ShowSkinLayout(bool shown, const SkinLayout& shownLayout) override {
        log.push_back(shown ? "layout:" + std::to_string(shownLayout.width) + "x" + std::to_string(shownLayout.height)
                            : "layout:hidden");
        layout = shownLayout;
    }
    // Logged as "findings:<count>"; the lines shown last are kept.
    std::vector<std::string> findings;
    void ShowFindings(const std::vector<std::string>& lines) override {
        log.push_back("findings:" + std::to_string(lines.size()));
        findings = lines;
    }
    void SetPlaybackTimer(bool running) override { log.emplace_back(running ? "timer:on" : "timer:off"); }
    PixelSize ViewSize() const override { return viewSize; }
    void ShowMessage(const std::string& text, const std::string& detail) override {
        log.push_back("message:" + text + " | " + detail);
    }
    bool ChooseFile(const FileDialogRequest& dialog, std::string& path, int& filterIndex) override {
        log.push_back("choose:" + dialog.initialName);
        fileDialogs.push_back(dialog);
        if (answers_.empty()) return false;
        std::tie(path, filterIndex) = answers_.front();
        answers_.pop_front();
        return true;
    }
    bool ChooseFolder(const std::string& title, const std::string& folder, std::string& path) override {
        log.push_back("folder:" + title + " in " + folder);
        if (answers_.empty()) return false;
        path = answers_.front().first;
        answers_.pop_front();
        return true;
    }
    std::vector<size_t> ChooseArchiveModels(const std::string& archivePath,
                                            const std::vector<std::string>& models) override {
        std::string names;
        for (const std::string& m : models) names += (names.empty() ? "" : ", ") + m;
        log.push_back("archive:" + archivePath + ": " + names);
        return archiveChooser ? archiveChooser(models) : std::vector<size_t>{};
    }
    bool RunBackgroundColorDialog(float rgb[3], const std::function<void(const float*)>& apply) override {
        log.emplace_back("background-dialog");
        return backgroundDialog && backgroundDialog(rgb, apply);
    }
    bool RunLightPropertiesDialog(LightRecord& light, const std::function<void()>& apply) override {
        log.emplace_back("light-dialog");
        return lightDialog && lightDialog(light, apply);
    }
    bool ReadViewPixels(PixelSize& size, std::vector<uint8_t>& rgb) override {
        log.emplace_back("read-view");
        return !viewPixels.empty() && (size = viewSize, rgb = viewPixels, true);
    }

    bool ReadScenePixels(const Scene& scene, PixelSize& size, std::vector<uint8_t>& rgb) override {
        scenes.push_back(scene);
        return !viewPixels.empty() && (size = viewSize, rgb = viewPixels, true);
    }
    void BeginProgress(const std::string& title, const std::string& text, int total) override {
        log.push_back("progress:" + title + " | " + text + " | " + std::to_string(total));
    }
    bool StepProgress(int done) override {
        progressSteps.push_back(done);
        return cancelAtStep < 0 || done < cancelAtStep;
    }
    void EndProgress() override { log.emplace_back("progress:end"); }

private:
    std::deque<std::pair<std::string, int>> answers_;
};

}  // namespace meshara::testing
