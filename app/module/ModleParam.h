// ModleParam: what is known of one module, as its last parameter report
// said: the one record of the window, the command-line program and the
// simulator. Plain data, copied member by member; a list owns its records.
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
    zo::IP ether_ip{0ul};          // every request to the module goes here
    zo::IP ether_gate{0ul};
    zo::IP wifi_ip{0ul};
    zo::IP wifi_gate{0ul};
    // The module's last report came as UTF-8 (valid UTF-8 with multi-byte
    // sequences), not in the ANSI code page: its texts are read, and a
    // save is written, in the form it understands.
    bool utf8 = false;

    ModleParam() {}
    ModleParam(const ModleParam& other) { *this = other; }
    ModleParam& operator=(const ModleParam& other) {
        serv_host = other.serv_host;
        ap_ssid = other.ap_ssid;
        ap_pass = other.ap_pass;
        mac = other.mac;
        serv_port = other.serv_port;
        serial_rate = other.serial_rate;
        ether_ip = other.ether_ip;
        ether_gate = other.ether_gate;
        wifi_ip = other.wifi_ip;
        wifi_gate = other.wifi_gate;
        utf8 = other.utf8;
        return *this;
    }
};
