#pragma once
// Command and control ids. Menu items, accelerators and options-bar buttons
// share one command space; what each command does, says and shows is in its
// row of the command table (session/command_table.h). These are the
// program's own numbers; the window layer maps them to the toolkit's where
// it needs smaller ones (gui/toolkit_ids.h).

namespace meshara::ids {

// Rendering menu.
constexpr int kTextureNearest = 32773;
constexpr int kTextureLinear = 32774;
constexpr int kTextureNearMip = 32775;
constexpr int kTextureBiMip = 32776;
constexpr int kTextureTriMip = 32777;
constexpr int kMultiPassFast = 32778;
constexpr int kMultiPassSafe = 32779;
constexpr int kWireframe = 32809;
constexpr int kEnvironmentMap = 32813;
constexpr int kBackgroundColor = 32814;

// Options bar buttons, row by row: "+", "X", " ".
constexpr int kModelOpen = 32785;
constexpr int kModelRemove = 32786;
constexpr int kModelToggle = 32787;
constexpr int kModelLightAdd = 32788;
constexpr int kModelLightRemove = 32789;
constexpr int kModelLightToggle = 32790;
constexpr int kTextureMapLoad = 32791;  // then clear, toggle
constexpr int kDiffusionMapLoad = 32794;
constexpr int kSpecularityMapLoad = 32797;
constexpr int kGlowMapLoad = 32800;
constexpr int kGlobalLightAdd = 32803;
constexpr int kGlobalLightRemove = 32804;
constexpr int kGlobalLightToggle = 32805;
constexpr int kLightProperties = 32808;
constexpr int kFirstBarButton = 32785;

// Frame stepping (Right and Left arrows).
constexpr int kNextFrame = 32806;
constexpr int kPreviousFrame = 32807;

// File menu.
constexpr int kExportLight = 32811;
constexpr int kImportLight = 32812;
constexpr int kExit = 57665;

// Help menu.
constexpr int kAbout = 57664;

// The block from Nearest to Background Color: the menus' own entries, the
// options bar, frame stepping and light transfer, all dispatched alike.
constexpr int kFirstBaseCommand = kTextureNearest;
constexpr int kLastBaseCommand = kBackgroundColor;

// Extras, appended after the menus' own entries; numbered apart from every
// range above so they can never be taken for one of those.
constexpr int kFirstExtra = 33001;
constexpr int kPlayAnimation = kFirstExtra;
constexpr int kFitModels = 33002;
constexpr int kResetView = 33003;
constexpr int kSaveView = 33004;
constexpr int kLoadSkinFromModel = 33005;
constexpr int kNextAnimation = 33006;
constexpr int kPreviousAnimation = 33007;
constexpr int kOpenModelAndShow = 33008;
constexpr int kLastExtra = kOpenModelAndShow;
// File > Skin: no skin, then one entry per skin choice, then the picture
// the texture map holds when it is none of those.
constexpr int kSkinNone = 33100;
constexpr int kFirstSkinChoice = 33101;
constexpr int kLastSkinChoice = 33198;
constexpr int kSkinElsewhere = 33199;
// Rendering > Animation: one entry per animation of the playback model, then
// the playback speeds, slowest first.
constexpr int kFirstAnimationChoice = 33200;
constexpr int kLastAnimationChoice = 33455;
constexpr int kFirstPlaybackSpeed = 33460;
constexpr int kLastPlaybackSpeed = 33464;
inline constexpr double kPlaybackSpeeds[] = {0.25, 0.5, 1, 2, 4};
// File > Save Animation..., Rendering > Show, File > Save As MD2... and
// Rendering > Show > Skin Layout,
// extras made after the ranges above.
constexpr int kSaveAnimation = 33500;
constexpr int kShowNormals = 33501;
constexpr int kShowBoundingBox = 33502;
constexpr int kShowFloorGrid = 33503;
constexpr int kSaveAsMd2 = 33504;
constexpr int kOpenPlayer = 33505;
constexpr int kShowSkinLayout = 33506;
constexpr int kFirstLaterExtra = kSaveAnimation;
constexpr int kLastLaterExtra = kShowSkinLayout;
// File > Weapon: the current player's weapons as --weapon names them, then None.
constexpr int kFirstWeaponChoice = 33600;
constexpr int kLastWeaponChoice = 33727;
// File > Check Models..., made after everything above and numbered apart from it.
constexpr int kCheckModels = 33800;
// Rendering > View: the view's keys as entries, turn, move, then zoom.
constexpr int kTurnLeft = 33900;
constexpr int kTurnRight = 33901;
constexpr int kTurnUp = 33902;
constexpr int kTurnDown = 33903;
constexpr int kMoveLeft = 33904;
constexpr int kMoveRight = 33905;
constexpr int kMoveUp = 33906;
constexpr int kMoveDown = 33907;
constexpr int kZoomIn = 33908;
constexpr int kZoomOut = 33909;
constexpr int kFirstViewKey = kTurnLeft;
constexpr int kLastViewKey = kZoomOut;

// Accelerators kept for their keys only; nothing handles them.
constexpr int kNew = 57600;
constexpr int kOpen = 57601;
constexpr int kSave = 57603;
constexpr int kCopy = 57634;
constexpr int kCut = 57635;
constexpr int kPaste = 57637;
constexpr int kUndo = 57643;
constexpr int kNextPane = 57680;
constexpr int kPreviousPane = 57681;

// Child windows and options-bar controls.
constexpr int kGlWindow = 61204;
constexpr int kOptionsBar = 61205;
constexpr int kModelList = 61206;
constexpr int kModelLights = 61207;
constexpr int kMapEdit = 61210;  // all four map edit boxes share it
constexpr int kGlobalLightList = 61212;

// Background Color dialog.
constexpr int kBlueEdit = 1001;
constexpr int kGreenEdit = 1002;
constexpr int kRedEdit = 1003;
constexpr int kApply = 3;

}  // namespace meshara::ids
