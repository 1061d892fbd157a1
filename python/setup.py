"""The wheel carries shared libraries but no extension module: tag it for
the platform (any Python 3, no ABI), not as pure Python."""
from setuptools import setup
from setuptools.dist import Distribution

try:
    from setuptools.command.bdist_wheel import bdist_wheel
except ImportError:  # setuptools before 70.1
    from wheel.bdist_wheel import bdist_wheel


class BinaryDistribution(Distribution):
    def has_ext_modules(self) -> bool:
        return True


class PlatformWheel(bdist_wheel):  # type: ignore[misc]
    def get_tag(self) -> "tuple[str, str, str]":
        return ("py3", "none", super().get_tag()[2])


setup(distclass=BinaryDistribution, cmdclass={"bdist_wheel": PlatformWheel})
