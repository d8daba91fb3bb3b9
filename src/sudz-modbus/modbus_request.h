// One Modbus TCP request answered against an area.
//
// frame is a whole frame as gathered from a connection: the MBAP header
// (7 bytes, unit id included) and the PDU, length bytes in all as the
// header says. The request is checked against the map before anything is
// touched; a write reaches the area before the reply goes out through
// ctx's socket (modbus_reply or modbus_reply_exception). With unit >= 0 a
// request for another unit gets exception 0B (target device failed to
// respond). *wrote tells whether the area's outputs were written.
#ifndef SUDZ_MODBUS_MODBUS_REQUEST_H
#define SUDZ_MODBUS_MODBUS_REQUEST_H

#include <cstdint>

#include <modbus.h>

#include "sudz-modbus/area_values.h"
#include "sudz-modbus/register_map.h"

// False when the reply could not be sent.
bool answer_request(modbus_t* ctx, modbus_mapping_t* mapping, const register_map& map,
                    area_values& area, int unit, const uint8_t* frame, int length, bool* wrote);

#endif
