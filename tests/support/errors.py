"""How the test support says that something it was asked for cannot be had."""


class HarnessError(Exception):
    """What a test needs could not be set up or reached: a server that did not start, a driver gone."""


class DriverError(AssertionError):
    """A driver command was refused (no such control, disabled button, timeout...)."""
