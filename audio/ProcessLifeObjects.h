// COM objects whose registrations must stay in force until the process ends (endpoint volume
// interfaces carrying the volume sink, hardware parts carrying the control change sink and
// their adapter topology). Nothing is ever unregistered; process exit takes care of them.
#pragma once
#include <unknwn.h>

// Takes over one reference to object and never releases it. Null is ignored.
void KeepForProcessLife(IUnknown* object);

// The one exception: a kept object that Windows has invalidated (its endpoint went away) is
// given up when the panel replaces it, so that replugs do not pile up dead objects. An object
// that is not kept is left alone.
void ReleaseInvalidated(IUnknown* object);

// How many objects have been kept so far.
size_t KeptObjectCount();
