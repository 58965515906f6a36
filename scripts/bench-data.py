# The benchmarks' database-like data (517 MB in 5,154 files): many small files in landuse,
# some medium ones in terrain, a few large ones in 1kmav_dem. Usage: python3 bench-data.py FOLDER
import os, random, sys
root = sys.argv[1]
rng = random.Random(4711)
def write(path, size):
    with open(path, "wb") as f:
        while size > 0:
            n = min(size, 1 << 20)
            f.write(os.urandom(n))
            size -= n
total = 0; count = 0
# landuse: many small files in two levels of folders, a few empty folders.
for a in range(10):
    for b in range(5):
        d = os.path.join(root, "landuse", "area%02d" % a, "tile%02d" % b)
        os.makedirs(d, exist_ok=True)
        for i in range(100):
            size = rng.randint(1024, 32 * 1024)
            write(os.path.join(d, "parcel%03d.dat" % i), size); total += size; count += 1
os.makedirs(os.path.join(root, "landuse", "empty", "deeper"), exist_ok=True)
# terrain: some medium files.
for a in range(6):
    d = os.path.join(root, "terrain", "sheet%d" % a)
    os.makedirs(d, exist_ok=True)
    for i in range(25):
        size = rng.randint(512 * 1024, 2560 * 1024)
        write(os.path.join(d, "mesh%02d.bin" % i), size); total += size; count += 1
# 1kmav_dem: a few large files.
d = os.path.join(root, "1kmav_dem")
os.makedirs(d, exist_ok=True)
for i in range(4):
    size = 50 * 1024 * 1024
    write(os.path.join(d, "dem%d.grd" % i), size); total += size; count += 1
print("  %d files, %.1f MB" % (count, total / 1e6))
