// The state record's one definition.
#include "state/app_state.h"

AppState app;

void useStartView()
{
    app.xMin = StartView.xMin;
    app.yMin = StartView.yMin;
    app.xMax = StartView.xMax;
    app.yMax = StartView.yMax;
    app.bailout = StartBailout;
}
