"""The pure-Python zephyrcoilvault package: ctypes over the installed C library."""

from setuptools import setup

setup(
    name="zephyrcoilvault",
    version="1.2.0",
    description="Client of the one-time-password token service, over the zephyrcoilvault library",
    packages=["zephyrcoilvault"],
    package_data={"zephyrcoilvault": ["py.typed"]},
    python_requires=">=3.11",
)
