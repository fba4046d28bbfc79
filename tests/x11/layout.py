"""Where the controls of the window are, in pixels of its client area: the
window's twips divided by 15, controls in the frame offset by the frame."""

TWIPS_PER_PIXEL = 15
FRAME = (120, 120)


def centre_in_frame(left, top, width, height):
    x = (FRAME[0] + left + width // 2) // TWIPS_PER_PIXEL
    y = (FRAME[1] + top + height // 2) // TWIPS_PER_PIXEL
    return x, y


CLIENT_SIZE = (6975 // TWIPS_PER_PIXEL, 7785 // TWIPS_PER_PIXEL)
TXT_SERVER = centre_in_frame(1080, 2280, 3615, 285)
CMD_EXIT = centre_in_frame(5280, 840, 975, 375)
