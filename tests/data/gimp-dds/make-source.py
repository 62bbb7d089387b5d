#!/usr/bin/env python3
# Writes source.png, the 64x64 RGBA picture the DDS files of this folder were made from.
import zlib, struct, math
W = H = 64
def png(path, px, w, h):
    raw=b''.join(b'\0'+bytes(px[y*w*4:(y+1)*w*4]) for y in range(h))
    def chunk(t,d): return struct.pack('>I',len(d))+t+d+struct.pack('>I',zlib.crc32(t+d)&0xffffffff)
    open(path,'wb').write(b'\x89PNG\r\n\x1a\n'+chunk(b'IHDR',struct.pack('>IIBBBBB',w,h,8,6,0,0,0))+chunk(b'IDAT',zlib.compress(raw,9))+chunk(b'IEND',b''))
px=[]
for y in range(H):
    for x in range(W):
        # smooth hue sweep across, brightness down; a saturated square and a white/black bar
        r=int(127.5+127.5*math.cos(2*math.pi*(x/64)))
        g=int(127.5+127.5*math.cos(2*math.pi*(x/64-1/3)))
        b=int(127.5+127.5*math.cos(2*math.pi*(x/64-2/3)))
        k=1-y/96
        r,g,b=int(r*k),int(g*k),int(b*k)
        if 40<=x<56 and 8<=y<24: r,g,b=255,0,0
        if 8<=x<24 and 40<=y<56: r,g,b=(255,255,255) if x<16 else (0,0,0)
        a=255 if y<32 else int(255*(1-(y-32)/40))
        px+= [r,g,b,a]
png('source.png',px,W,H)
