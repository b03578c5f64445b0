// The rule for the destination of a request meant for one module.
#include "app/module/Destination.h"

#include "app/module/Address.h"

namespace proto {

Destination ClassifyModuleAddress(zo::IP address) {
    // IP holds network order: the first octet is the lowest byte.
    unsigned long v = address.ToLong();
    unsigned first = v & 0xFF, last = (v >> 24) & 0xFF;
    if (v == 0xFFFFFFFFul) return Destination::broadcast;
    if (first == 0) return Destination::unspecified;
    if (first == 127) return Destination::loopback;
    if (first >= 224 && first < 240) return Destination::multicast;
    if (first >= 240) return Destination::reserved;
    if (last == 255) return Destination::subnetBroadcast;
    if (last == 0) return Destination::networkAddress;
    return Destination::unicast;
}

void RefusalText(zo::IP address, zo::String& out) {
    const wchar_t* what = nullptr;
    switch (ClassifyModuleAddress(address)) {
    case Destination::unicast: break;
    case Destination::unspecified: what = L"未指定的地址"; break;
    case Destination::loopback: what = L"本机回环地址"; break;
    case Destination::multicast: what = L"组播地址"; break;
    case Destination::broadcast: what = L"广播地址"; break;
    case Destination::reserved: what = L"保留地址"; break;
    case Destination::subnetBroadcast: what = L"网段的广播地址"; break;
    case Destination::networkAddress: what = L"网段的网络地址"; break;
    }
    if (!what) {
        out = L"";
        return;
    }
    out.Format(L"模块的地址 %hs 是%s，不是一个模块的地址。\r\n请求没有发送。", address.ToString(), what);
}

std::wstring RefusalTextEn(zo::IP address) {
    const wchar_t* what = nullptr;
    switch (ClassifyModuleAddress(address)) {
    case Destination::unicast: return std::wstring();
    case Destination::unspecified: what = L"an unspecified address"; break;
    case Destination::loopback: what = L"a loopback address"; break;
    case Destination::multicast: what = L"a multicast address"; break;
    case Destination::broadcast: what = L"the broadcast address"; break;
    case Destination::reserved: what = L"a reserved address"; break;
    case Destination::subnetBroadcast: what = L"the broadcast address of its /24"; break;
    case Destination::networkAddress: what = L"the network address of its /24"; break;
    }
    return Dotted(address) + L" is " + what + L", not one module's address";
}

} // namespace proto
