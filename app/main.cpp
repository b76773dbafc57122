#include "app/viewer_app.h"

wxIMPLEMENT_APP_NO_MAIN(meshara::ViewerApp);

int main(int argc, char** argv) { return wxEntry(argc, argv); }
