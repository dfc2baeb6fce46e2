# attrs.py set FILE...: gives each file an ACL (user daemon may read),
#   user.colour, trusted.note and security.label.
# attrs.py show FILE...: each file's mode, attribute names and ACL entries.
import os, stat, struct, sys
ACL = "system.posix_acl_access"
ANY = 0xFFFFFFFF
entries = [(0x01, 6, ANY), (0x02, 4, 1), (0x04, 4, ANY), (0x10, 4, ANY), (0x20, 0, ANY)]
for f in sys.argv[2:]:
    if sys.argv[1] == "set":
        os.setxattr(f, ACL, struct.pack("<I", 2) + b"".join(struct.pack("<HHI", *e) for e in entries))
        for name in ("user.colour", "trusted.note", "security.label"):
            os.setxattr(f, name, name.encode())
    else:
        names = sorted(os.listxattr(f))
        acl = os.getxattr(f, ACL)[4:] if ACL in names else b""
        shown = [struct.unpack("<HHI", acl[i:i + 8]) for i in range(0, len(acl), 8)]
        print(f, oct(stat.S_IMODE(os.stat(f).st_mode)), " ".join(names),
              " ".join(f"{t:x}:{p}:{'' if i == ANY else i}" for t, p, i in shown))
