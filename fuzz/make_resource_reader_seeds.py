# Writes the seed corpus of the resource reader fuzz target: small ELF64 files
# with and without a resource section. Usage: make_resource_reader_seeds.py DIR
import struct, sys, os
out = sys.argv[1]

def directory(entries):
    # entries: (type, name, lang, data) with ids as int or str
    strings = b''
    head = b'MVRSRC01' + struct.pack('<II', len(entries), 0)
    dir_size = 16 + 24 * len(entries)
    str_base = dir_size
    recs = []
    names = []
    def idv(v):
        nonlocal strings
        if isinstance(v, int):
            return v
        off = str_base + len(strings)
        strings += v.encode() + b'\0'
        return 0x80000000 | off
    ids = [(idv(t), idv(n)) for t, n, _, _ in entries]
    pos = str_base + len(strings)
    pos = (pos + 7) & ~7
    data = b''
    body = bytearray(strings)
    body += b'\0' * ((pos - str_base) - len(strings))
    for (t, n), (_, _, lang, payload) in zip(ids, entries):
        off = str_base + len(body)
        recs.append(struct.pack('<IIIIII', t, n, lang, 0, off, len(payload)))
        body += payload
        while len(body) % 8:
            body += b'\0'
    return head + b''.join(recs) + bytes(body)

def elf(sections):
    # sections: list of (name, bytes); builds header + data + shstrtab + section headers
    shstr = b'\0'
    name_offs = []
    for n, _ in sections:
        name_offs.append(len(shstr)); shstr += n.encode() + b'\0'
    shstr_name = len(shstr); shstr += b'.shstrtab\0'
    body = b''
    offs = []
    pos = 64
    for _, d in sections:
        offs.append(pos + len(body)); body += d
        while len(body) % 8: body += b'\0'
    shstr_off = 64 + len(body); body += shstr
    while len(body) % 8: body += b'\0'
    shoff = 64 + len(body)
    shnum = len(sections) + 2
    ident = b'\x7fELF' + bytes([2, 1, 1, 0]) + b'\0' * 8
    ehdr = ident + struct.pack('<HHIQQQIHHHHHH', 3, 62, 1, 0, 0, shoff, 0, 64, 0, 0, 64, shnum, shnum - 1)
    shdrs = b'\0' * 64
    for (n, d), no, o in zip(sections, name_offs, offs):
        shdrs += struct.pack('<IIQQQQIIQQ', no, 1, 2, 0, o, len(d), 0, 0, 8, 0)
    shdrs += struct.pack('<IIQQQQIIQQ', shstr_name, 3, 0, 0, shstr_off, len(shstr), 0, 0, 1, 0)
    return ehdr + body + shdrs

seeds = {
    'registry_and_typelib': elf([('.text', b'\xc3' * 16), ('.mvrsrc', directory([
        ('REGISTRY', 101, 1033, b"HKCR\r\n{\r\n\tX = s 'y'\r\n}\r\n"),
        ('TYPELIB', 1, 1033, bytes(range(64)))]))]),
    'named_resources': elf([('.mvrsrc', directory([
        ('TYPE', 'NAME', 0, b'named'), (3, 2, 1031, b''), (3, 2, 0, b'neutral')]))]),
    'no_resources': elf([('.data', b'\1\2\3\4')]),
    'empty_directory': elf([('.mvrsrc', directory([]))]),
}
os.makedirs(out, exist_ok=True)
for name, data in seeds.items():
    open(os.path.join(out, name), 'wb').write(data)
