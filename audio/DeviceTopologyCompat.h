// mingw-w64's devicetopology.h spells ISubunit as ISubUnit and IPart::GetTopologyObject as
// GetTopologyObjects; the interface and its vtable slot are the same as the Windows SDK's.
#pragma once
#include <windows.h>
#include <devicetopology.h>

#if defined(__MINGW32__)
using SubunitInterface = ISubUnit;
inline HRESULT GetPartTopology(IPart* part, IDeviceTopology** topology)
{
    return part->GetTopologyObjects(topology);
}
#else
using SubunitInterface = ISubunit;
inline HRESULT GetPartTopology(IPart* part, IDeviceTopology** topology)
{
    return part->GetTopologyObject(topology);
}
#endif
