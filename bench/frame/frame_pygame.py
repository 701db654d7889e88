"""The benchmark frame of frame.dv drawn with pygame: same shapes, same
colours, no frame cap. Prints frames per second."""
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
    for i in range(1000):
        x = (i * 37) % 780 + 10
        y = (i * 53) % 580 + 10
        pygame.draw.circle(screen, (i % 256, 128, 255 - i % 256), (x, y), 10)
        pygame.draw.polygon(screen, (255 - i % 256, i % 256, 90), [(x, y), (x + 20, y + 5), (x + 8, y + 18)])
    pygame.display.flip()
    pygame.event.pump()
    frames += 1
print(measured / (time.perf_counter() - begin))
