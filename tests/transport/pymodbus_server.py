"""A pymodbus Modbus TCP server for the transport's interoperability test.

Serves unit 1 on 127.0.0.1 at a free port and prints the port. Holding
registers hold 1000 + address, input registers 2000 + address, coils are set
at odd addresses and discrete inputs at multiples of 3 (addresses 0 to 99).
When its standard input ends it prints what the coils and holding registers
0 to 19 hold then, one line each ("co 0 1 ...", "hr 1000 1001 ..."), and
exits. Exits with status 3 when pymodbus is not installed.
"""
import asyncio
import sys

try:
    from pymodbus.datastore import (ModbusSequentialDataBlock, ModbusServerContext,
                                    ModbusSlaveContext)
    from pymodbus.server.async_io import ModbusTcpServer
except ImportError:
    print("pymodbus is not installed", flush=True)
    sys.exit(3)

SIZE = 100


async def serve():
    store = ModbusSlaveContext(
        di=ModbusSequentialDataBlock(0, [a % 3 == 0 for a in range(SIZE)]),
        co=ModbusSequentialDataBlock(0, [a % 2 == 1 for a in range(SIZE)]),
        hr=ModbusSequentialDataBlock(0, [1000 + a for a in range(SIZE)]),
        ir=ModbusSequentialDataBlock(0, [2000 + a for a in range(SIZE)]),
        zero_mode=True)
    server = ModbusTcpServer(ModbusServerContext(slaves={1: store}, single=False),
                             address=("127.0.0.1", 0))
    task = asyncio.create_task(server.serve_forever())
    await server.serving
    print(server.server.sockets[0].getsockname()[1], flush=True)
    await asyncio.get_running_loop().run_in_executor(None, sys.stdin.read)
    for name, function in (("co", 1), ("hr", 3)):
        print(name, *[int(v) for v in store.getValues(function, 0, 20)], flush=True)
    await server.shutdown()
    task.cancel()


asyncio.run(serve())
