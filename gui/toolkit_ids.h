#pragma once
// The program's command and control ids go up to 61212, but wxWidgets takes
// window and menu ids only below 32767 (and asserts otherwise). Ids from
// 32768 up are moved down by 30000 where they meet the toolkit, and back
// where a command leaves it; smaller ids (the dialogs' boxes and buttons)
// pass unchanged. Of the moved range, wx's own ids (4999..5999) would only
// be reached by program ids 34999..35999, which the program does not use.

namespace meshara {

constexpr int kToolkitIdShift = 30000;

constexpr int ToolkitId(int programId) { return programId >= 32768 ? programId - kToolkitIdShift : programId; }
constexpr int ProgramId(int toolkitId) {
    return toolkitId >= 32768 - kToolkitIdShift && toolkitId < 32768 ? toolkitId + kToolkitIdShift : toolkitId;
}

static_assert(ProgramId(ToolkitId(61212)) == 61212 && ToolkitId(61212) < 32767);
static_assert(ProgramId(ToolkitId(32773)) == 32773 && ToolkitId(32773) == 2773);
static_assert(ProgramId(ToolkitId(1024)) == 1024);

}  // namespace meshara
