"""The busy frame of frame.dv drawn with pygame as its programmers draw:
into the display surface, flipped once a frame. Same shapes, same colours,
no frame cap. Prints frames per second."""
import os
import time

os.environ.setdefault("PYGAME_HIDE_SUPPORT_PROMPT", "1")
import pygame  # noqa: E402

pygame.init()
screen = pygame.display.set_mode((800, 600))
start_frames, measured = 30, 300
frames = 0
begin = None
while frames < start_frames + measured:
    if frames == start_frames:
        begin = time.perf_counter()
    screen.fill((0, 0, 0))
    for i in range(400):
        x = (i * 37) % 760 + 10
        y = (i * 53) % 560 + 10
        shade = i % 256
        pygame.draw.circle(screen, (shade, 128, 255 - shade), (x, y), 10)
        pygame.draw.rect(screen, (255 - shade, shade, 90), (x + 5, y + 12, 18, 12))
        pygame.draw.polygon(screen, (90, 255 - shade, shade), [(x, y), (x + 20, y + 5), (x + 8, y + 18)])
        pygame.draw.line(screen, (shade, shade, 200), (x, y), (x + 25, y + 14))
    pygame.display.flip()
    pygame.event.pump()
    frames += 1
print(measured / (time.perf_counter() - begin))
