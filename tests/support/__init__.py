"""What the Python tests, the benchmarks and the demo share: starting the dev site, talking to
twi-driver, the byte pattern of generated downloads, reading /proc, and the product's own control
ids and English sentences.

Import it with the source folder's tests/ folder on sys.path: `from support import devsite`.
"""
