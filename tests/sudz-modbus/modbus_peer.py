"""Modbus peers for the bridge's tests, built on pymodbus (3.0 API).

  modbus_peer.py requests PORT REQUEST...   one client, one line per request:
      "ok V..." (values read, or nothing for a write), "exc N" (exception
      code, decimal) or "none" (no answer). REQUEST is KIND:ADDRESS[:ARG]
      with KIND rc, di, hr, ir (ARG: count), wc, wr (ARG: value),
      wcs, wrs (ARG: comma-separated values), fc (ADDRESS: a function code
      without a request of its own here: 7, 17, 22, 23, 43), and an
      optional @UNIT suffix.
  modbus_peer.py programme PORT             fills the tank until "Niv", then
      drains it until "Vide"; prints the input clock at each step and "done".
  modbus_peer.py plc PORT IN_OFFSET OUT_OFFSET VALUES SET [registers]
      a server standing in for a PLC (port 0: a free one, printed as
      "port N"); once its coils from IN_OFFSET equal VALUES (comma-separated,
      as bits: not 0 is 1) it prints "inputs seen" and sets coil
      OUT_OFFSET+SET to 1; runs until killed. With "registers", holding
      registers instead, compared as words.
"""
import asyncio
import sys
import time

from pymodbus.client import ModbusTcpClient
from pymodbus.datastore import (ModbusSequentialDataBlock, ModbusServerContext,
                                ModbusSlaveContext)
from pymodbus.other_message import ReadExceptionStatusRequest, ReportSlaveIdRequest
from pymodbus.register_write_message import MaskWriteRegisterRequest
from pymodbus.register_read_message import ReadWriteMultipleRegistersRequest
from pymodbus.mei_message import ReadDeviceInformationRequest
from pymodbus.server.async_io import ModbusTcpServer


def connect(port):
    client = ModbusTcpClient("127.0.0.1", port=port, timeout=3, retries=0)
    if not client.connect():
        print("cannot connect", flush=True)
        sys.exit(2)
    return client


def outcome(result):
    if result is None or not hasattr(result, "isError"):
        return "none"
    if result.isError():
        code = getattr(result, "exception_code", None)
        return "none" if code is None else "exc %d" % code
    if hasattr(result, "bits"):
        return "ok " + " ".join(str(int(b)) for b in result.bits)
    if hasattr(result, "registers"):
        return "ok " + " ".join(str(r) for r in result.registers)
    return "ok"


def one_request(client, text):
    unit = 1
    if "@" in text:
        text, unit = text.split("@")
        unit = int(unit)
    parts = text.split(":")
    kind, address = parts[0], int(parts[1])
    arg = parts[2] if len(parts) > 2 else "1"
    try:
        if kind in ("rc", "di"):
            count = int(arg)
            read = client.read_coils if kind == "rc" else client.read_discrete_inputs
            result = read(address, count, slave=unit)
            if not result.isError():
                result.bits = result.bits[:count]
        elif kind == "hr":
            result = client.read_holding_registers(address, int(arg), slave=unit)
        elif kind == "ir":
            result = client.read_input_registers(address, int(arg), slave=unit)
        elif kind == "wc":
            result = client.write_coil(address, arg == "1", slave=unit)
        elif kind == "wr":
            result = client.write_register(address, int(arg), slave=unit)
        elif kind == "wcs":
            result = client.write_coils(address, [v == "1" for v in arg.split(",")], slave=unit)
        elif kind == "wrs":
            result = client.write_registers(address, [int(v) for v in arg.split(",")],
                                            slave=unit)
        elif kind == "fc":
            request = {7: lambda: ReadExceptionStatusRequest(slave=unit),
                       17: lambda: ReportSlaveIdRequest(slave=unit),
                       22: lambda: MaskWriteRegisterRequest(0, 0xFFFF, 0, slave=unit),
                       23: lambda: ReadWriteMultipleRegistersRequest(
                           read_address=0, read_count=1, write_address=0,
                           write_registers=[0], slave=unit),
                       43: lambda: ReadDeviceInformationRequest(slave=unit)}[address]()
            result = client.execute(request)
        else:
            return "bad request " + text
    except Exception:  # pylint: disable=broad-except
        return "none"
    return outcome(result)


def requests(port, texts):
    client = connect(port)
    for text in texts:
        print(one_request(client, text), flush=True)
    client.close()


def programme(port):
    """Fill until Niv (input 1), then drain until Vide (input 2)."""
    client = connect(port)
    deadline = time.monotonic() + 60

    def clock():
        r = client.read_input_registers(20, 2, slave=1).registers
        return (r[0] << 16) | r[1]

    def wait_input(index):
        while time.monotonic() < deadline:
            if client.read_discrete_inputs(index, 1, slave=1).bits[0]:
                return True
            time.sleep(0.005)
        return False

    for step, (valve, sensor) in enumerate(((5, 1), (2, 2))):  # Vi until Niv, Vo until Vide
        client.write_coil(valve, True, slave=1)
        print("step %d started at clock %d" % (step, clock()), flush=True)
        ok = wait_input(sensor)
        client.write_coil(valve, False, slave=1)
        if not ok:
            print("step %d timed out" % step, flush=True)
            sys.exit(1)
        print("step %d ended at clock %d" % (step, clock()), flush=True)
    client.close()
    print("done", flush=True)


async def plc(port, in_offset, out_offset, values, set_index, registers):
    store = ModbusSlaveContext(co=ModbusSequentialDataBlock(0, [0] * 300),
                               di=ModbusSequentialDataBlock(0, [0] * 300),
                               hr=ModbusSequentialDataBlock(0, [0] * 300),
                               ir=ModbusSequentialDataBlock(0, [0] * 300), zero_mode=True)
    context = ModbusServerContext(slaves=store, single=True)
    server = ModbusTcpServer(context, address=("127.0.0.1", port), allow_reuse_address=True)
    task = asyncio.create_task(server.serve_forever())
    await server.serving
    print("port %d" % server.server.sockets[0].getsockname()[1], flush=True)
    table = 3 if registers else 1
    want = [int(v) for v in values.split(",")]
    if not registers:
        want = [int(v != 0) for v in want]
    while [int(v) for v in store.getValues(table, in_offset, len(want))] != want:
        await asyncio.sleep(0.01)
    print("inputs seen", flush=True)
    store.setValues(table, out_offset + set_index, [1])
    await task


def main():
    command = sys.argv[1]
    if command == "requests":
        requests(int(sys.argv[2]), sys.argv[3:])
    elif command == "programme":
        programme(int(sys.argv[2]))
    elif command == "plc":
        asyncio.run(plc(int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4]), sys.argv[5],
                        int(sys.argv[6]), sys.argv[7:] == ["registers"]))


if __name__ == "__main__":
    main()
