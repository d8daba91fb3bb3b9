# The Modbus bridge against a bare libmodbus server, and a write's way to the
# simulator's cycle (run by scripts/run-bench).
if(TARGET sudz-modbus)
  add_executable(modbus_rate ${CMAKE_CURRENT_LIST_DIR}/modbus_rate.cpp)
  target_link_libraries(modbus_rate PRIVATE IOshare PkgConfig::LIBMODBUS Threads::Threads)
  add_dependencies(modbus_rate sudz-modbus)
endif()
