// Qt outside the renderer and the browser.
#include <QString>
