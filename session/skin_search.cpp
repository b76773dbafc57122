#include "session/skin_search.h"

#include <algorithm>
#include <utility>

#include "formats/name_text.h"
#include "formats/path_input.h"
#include "session/messages.h"

namespace meshara {

namespace {

// After the name's own extension, in the order the engines that replaced
// their pictures try them.
constexpr const char* kSkinExtensions[] = {".png", ".tga", ".jpg", ".pcx", ".bmp"};

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Lower(x) == Lower(y); });
}

bool EndsWithIgnoringCase(std::string_view text, std::string_view tail) {
    return text.size() >= tail.size() && SameIgnoringCase(text.substr(text.size() - tail.size()), tail);
}

// The name's components; "." ones say nothing and go.
std::vector<std::string> Components(const std::string& name) {
    std::vector<std::string> out;
    std::string part;
    for (char c : name + '/') {
        if (c == '/' || c == '\\') {
            if (!part.empty() && part != ".") out.push_back(std::move(part));
            part.clear();
        } else {
            part += c;
        }
    }
    return out;
}

// Whether a picture file may have this name: the formats are told by their
// bytes, but only a file named as a picture is ever opened for one.
bool NamesPicture(const std::string& file) {
    static constexpr const char* kPictureExtensions[] = {".pcx", ".bmp", ".png", ".tga", ".jpg", ".jpeg"};
    return std::any_of(std::begin(kPictureExtensions), std::end(kPictureExtensions),
                       [&](const char* e) { return EndsWithIgnoringCase(file, e); });
}

// The file name's extension, dot included, or empty; a leading dot starts
// no extension.
size_t ExtensionStart(const std::string& fileName) {
    const size_t dot = fileName.rfind('.');
    return dot == std::string::npos || dot == 0 ? fileName.size() : dot;
}

// The file's own name first when it names a picture, then the same stem
// with each picture extension.
std::vector<std::string> NameVariants(const std::string& file) {
    const size_t dot = ExtensionStart(file);
    const std::string stem = file.substr(0, dot);
    const std::string own = file.substr(dot);
    std::vector<std::string> names;
    if (NamesPicture(file)) names.push_back(file);
    for (const char* extension : kSkinExtensions)
        if (!SameIgnoringCase(own, extension)) names.push_back(stem + extension);
    return names;
}

void AddOnce(std::vector<GameFile>& out, std::optional<GameFile> found) {
    if (!found) return;
    if (std::none_of(out.begin(), out.end(), [&](const GameFile& f) { return f.SameAs(*found); }))
        out.push_back(std::move(*found));
}

}  // namespace

bool SkinNameIsGamePath(const std::string& skinName) {
    if (skinName.empty() || skinName.front() == '/' || skinName.front() == '\\') return false;
    const std::vector<std::string> components = Components(skinName);
    // "C:" starts a Windows path, the author's own disk.
    if (!components.empty() && components.front().back() == ':') return false;
    return std::none_of(components.begin(), components.end(), [](const std::string& c) { return c == ".."; });
}

SkinSearch::SkinSearch(const std::string& modelPath) {
    if (modelPath.empty()) return;
    auto located = LocateFile(modelPath);
    if (!located) return;
    model_ = located.Take();
    found_ = true;
}

std::vector<GameFile> SkinSearch::Candidates(const std::string& skinName, std::vector<std::string>* passedOver) const {
    std::vector<GameFile> out;
    for (Candidate& c : Marked(skinName, passedOver)) out.push_back(std::move(c.file));
    return out;
}

std::vector<SkinSearch::Candidate> SkinSearch::Marked(const std::string& skinName,
                                                      std::vector<std::string>* passedOver) const {
    std::vector<GameFile> out;
    std::vector<std::string> components = Components(skinName);
    if (!found_ || components.empty()) return {};
    const std::vector<std::string> names = NameVariants(components.back());
    components.pop_back();
    std::string folder;
    for (const std::string& c : components) folder += c + "/";
    if (model_.inGame && SkinNameIsGamePath(skinName))
        for (const auto& source : model_.fs.Sources())
            for (const std::string& name : names) AddOnce(out, FindIn(source, folder + name, passedOver));
    const size_t atGamePath = out.size();
    // Then its file name alone beside the model.
    const std::string beside = model_.Folder().empty() ? "" : model_.Folder() + "/";
    std::vector<std::string> passed;
    for (const std::string& name : names) AddOnce(out, FindIn(model_.file.source, beside + name, &passed));
    // The same link may be met from the game path and beside the model: said once.
    if (passedOver)
        for (std::string& p : passed)
            if (std::find(passedOver->begin(), passedOver->end(), p) == passedOver->end()) passedOver->push_back(std::move(p));
    std::vector<Candidate> marked;
    for (size_t i = 0; i < out.size(); ++i) marked.push_back({std::move(out[i]), i >= atGamePath});
    return marked;
}

Result<std::shared_ptr<const SkinImage>> ReadGameSkin(const GameFile& file, int64_t maxPixels) {
    auto input = OpenGameFile(file, kMaxPictureEntryBytes);
    if (!input) return input.Why();
    return ReadSkinImage(input.Take(), file.path, maxPixels);
}

FoundSkin SkinSearch::Find(const std::string& skinName, int64_t maxPixels) const {
    std::vector<GameFile> tried;
    return Find(skinName, maxPixels, tried);
}

FoundSkin SkinSearch::Find(const std::string& skinName, int64_t maxPixels, std::vector<GameFile>& tried) const {
    FoundSkin found;
    if (!SkinNameIsGamePath(skinName) && !Components(skinName).empty())
        found.notes.push_back("the skin name \"" + NameToUtf8(skinName) +
                              "\" is a path outside the game's folders; only its file name is looked for beside the model");
    for (const Candidate& marked : Marked(skinName, &found.notes)) {
        const GameFile& candidate = marked.file;
        if (std::any_of(tried.begin(), tried.end(), [&](const GameFile& t) { return t.SameAs(candidate); })) continue;
        tried.push_back(candidate);
        auto picture = ReadGameSkin(candidate, maxPixels);
        if (picture) {
            found.path = candidate.path;
            found.picture = picture.Take();
            // The game would not find it: say which file is worn, where the model names another place.
            // (Only a model in a game folder has a place the game looks in.)
            if (marked.beside && model_.inGame && SkinNameIsGamePath(skinName))
                found.notes.push_back("the skin " + NameToUtf8(skinName) + " is not where the game looks for it, in " +
                                      model_.fs.GameFolder() + "; " + candidate.path +
                                      ", found beside the model, is worn instead");
            return found;
        }
        found.notes.push_back(candidate.path + " could not be used: " + FailureText(picture.Why()));
    }
    return found;
}

FoundSkin SkinSearch::Find(const std::vector<std::string>& skinNames, int64_t maxPixels) const {
    FoundSkin found;
    if (skinNames.size() > kMaxSkinNamesSearched)
        found.notes.push_back("only the first " + std::to_string(kMaxSkinNamesSearched) + " of the " +
                              std::to_string(skinNames.size()) + " skin names are looked for");
    std::vector<GameFile> tried;
    for (size_t i = 0; i < skinNames.size() && i < kMaxSkinNamesSearched; ++i) {
        FoundSkin one = Find(skinNames[i], maxPixels, tried);
        found.notes.insert(found.notes.end(), one.notes.begin(), one.notes.end());
        if (one.picture) {
            found.path = std::move(one.path);
            found.picture = std::move(one.picture);
            return found;
        }
    }
    return found;
}

std::vector<GameFile> SkinSearch::FilesBeside() const {
    if (!found_) return {};
    return ListIn(model_.file.source, model_.Folder());
}

FoundSkin FindSkin(const std::string& modelPath, const std::string& skinName, int64_t maxPixels) {
    return SkinSearch(modelPath).Find(skinName, maxPixels);
}

FoundSkin FindSkin(const std::string& modelPath, const std::vector<std::string>& skinNames, int64_t maxPixels) {
    return SkinSearch(modelPath).Find(skinNames, maxPixels);
}

}  // namespace meshara
