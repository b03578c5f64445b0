// ModleParam: what the tool knows of one module, as its last parameter
// report said. Plain data; the module list owns the records.
#pragma once
#include "core/Base.h"
#include "core/String.h"
#include "net/IP.h"

struct ModleParam : public zo::_struct {
    zo::String serv_host;          // server the module connects out to
    zo::String ap_ssid;            // access point it joins
    zo::String ap_pass;
    zo::String mac;                // identity: equal texts are one module
    unsigned short serv_port = 0;
    int serial_rate = 9600;
    zo::IP ether_ip;               // every request to the module goes here
    zo::IP ether_gate;
    zo::IP wifi_ip;
    zo::IP wifi_gate;
};
