"""The tracker object shared by the tests."""

from __future__ import annotations

import pytest

import morvane


@pytest.fixture
def tracker_object():
    with morvane.Dispatch("Morvane.CoMorvane") as created:
        yield created
