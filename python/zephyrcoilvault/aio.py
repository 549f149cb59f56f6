"""The client for asyncio: each call runs on a thread pool, so the event loop never blocks."""

from __future__ import annotations

import asyncio
import functools
from collections.abc import Callable
from concurrent.futures import Executor
from types import TracebackType
from typing import TypeVar

from .client import Client, StrPath
from .results import BindingsResult, ExpiryResult, PasswordResult, Result, StatusResult

_R = TypeVar("_R")


class AsyncClient:
    """A :class:`Client` whose operations are coroutines.

    The configuration is read when the object is made, as for
    :class:`Client`. Each call runs the client's method on ``executor``
    (the event loop's default thread pool when None) and awaits it; results
    and rules are those of :class:`Client`. Use it as an async context
    manager, or await :meth:`close`.
    """

    def __init__(
        self,
        config: StrPath,
        log: StrPath | None = None,
        encoding: str = "utf-8",
        executor: Executor | None = None,
    ) -> None:
        self._client = Client(config, log, encoding)
        self._executor = executor

    @property
    def client(self) -> Client:
        """The synchronous client underneath."""
        return self._client

    async def close(self) -> None:
        """Wait for the calls in flight and release the client, off the event loop."""
        await self._run(self._client.close)

    async def __aenter__(self) -> AsyncClient:
        return self

    async def __aexit__(
        self,
        exc_type: type[BaseException] | None,
        exc: BaseException | None,
        traceback: TracebackType | None,
    ) -> None:
        await self.close()

    async def _run(self, method: Callable[..., _R], *args: int | str | None) -> _R:
        loop = asyncio.get_running_loop()
        return await loop.run_in_executor(self._executor, functools.partial(method, *args))

    async def auth(self, card_no: int, dynpasswd: int) -> ExpiryResult:
        """Check a card's one-time password. See :meth:`Client.auth`."""
        return await self._run(self._client.auth, card_no, dynpasswd)

    async def auth2(self, card_no: int, dynpasswd: int) -> ExpiryResult:
        """Check a card's one-time password on the service's second authentication page.

        See :meth:`Client.auth2`.
        """
        return await self._run(self._client.auth2, card_no, dynpasswd)

    async def auth2_next(self, card_no: int, dynpasswd1: int, dynpasswd2: int) -> ExpiryResult:
        """Check two consecutive one-time passwords of a card. See :meth:`Client.auth2_next`."""
        return await self._run(self._client.auth2_next, card_no, dynpasswd1, dynpasswd2)

    async def binding(
        self, card_no: int, dynpasswd: int, app_no: int, app_no2: int, account: str
    ) -> PasswordResult:
        """Bind a card to an account. See :meth:`Client.binding`."""
        return await self._run(self._client.binding, card_no, dynpasswd, app_no, app_no2, account)

    async def binding2(
        self, card_no: int, dynpasswd: int, app_no: int, app_no2: int, account: str
    ) -> PasswordResult:
        """Bind a card to an account on the service's second binding page.

        See :meth:`Client.binding2`.
        """
        return await self._run(self._client.binding2, card_no, dynpasswd, app_no, app_no2, account)

    async def binding2_next(
        self,
        card_no: int,
        dynpasswd1: int,
        dynpasswd2: int,
        app_no: int,
        app_no2: int,
        account: str,
    ) -> PasswordResult:
        """Bind a card to an account, proven by two consecutive one-time passwords.

        See :meth:`Client.binding2_next`.
        """
        return await self._run(
            self._client.binding2_next, card_no, dynpasswd1, dynpasswd2, app_no, app_no2, account
        )

    async def unbinding(
        self,
        card_no: int,
        service_no: str | None,
        dynpasswd: int,
        app_no: int,
        app_no2: int,
        account: str,
    ) -> Result:
        """Remove a card's binding to an account. See :meth:`Client.unbinding`."""
        return await self._run(
            self._client.unbinding, card_no, service_no, dynpasswd, app_no, app_no2, account
        )

    async def unbinding2(
        self,
        card_no: int,
        service_no: str | None,
        dynpasswd: int,
        app_no: int,
        app_no2: int,
        account: str,
    ) -> Result:
        """Remove a binding on the service's second unbinding page.

        See :meth:`Client.unbinding2`.
        """
        return await self._run(
            self._client.unbinding2, card_no, service_no, dynpasswd, app_no, app_no2, account
        )

    async def unbinding2_next(
        self,
        card_no: int,
        service_no: str | None,
        dynpasswd1: int,
        dynpasswd2: int,
        app_no: int,
        app_no2: int,
        account: str,
    ) -> Result:
        """Remove a binding, proven by two consecutive one-time passwords.

        See :meth:`Client.unbinding2_next`.
        """
        return await self._run(
            self._client.unbinding2_next,
            card_no,
            service_no,
            dynpasswd1,
            dynpasswd2,
            app_no,
            app_no2,
            account,
        )

    async def unbinding_ex(self, card_no: int, app_no: int, app_no2: int, account: str) -> Result:
        """Remove a binding without a one-time password. See :meth:`Client.unbinding_ex`."""
        return await self._run(self._client.unbinding_ex, card_no, app_no, app_no2, account)

    async def unbinding_ex2(
        self, card_no: int, app_no: int, app_no2: int, account: str, resv_password: str
    ) -> Result:
        """Remove a binding, proven by its reserved password. See :meth:`Client.unbinding_ex2`."""
        return await self._run(
            self._client.unbinding_ex2, card_no, app_no, app_no2, account, resv_password
        )

    async def enable(
        self,
        service_no: str | None,
        dynpasswd: int,
        user_name: str | None,
        id_type: int,
        id: str | None,
        mobile: str | None,
        tel: str | None,
        post: str | None,
        email: str | None,
        address: str | None,
    ) -> ExpiryResult:
        """Put a card into service and record its holder's profile. See :meth:`Client.enable`."""
        return await self._run(
            self._client.enable,
            service_no,
            dynpasswd,
            user_name,
            id_type,
            id,
            mobile,
            tel,
            post,
            email,
            address,
        )

    async def enable_next(
        self,
        service_no: str | None,
        dynpasswd1: int,
        dynpasswd2: int,
        user_name: str | None,
        id_type: int,
        id: str | None,
        mobile: str | None,
        tel: str | None,
        post: str | None,
        email: str | None,
        address: str | None,
    ) -> ExpiryResult:
        """Put a card into service, proven by two consecutive one-time passwords.

        See :meth:`Client.enable_next`.
        """
        return await self._run(
            self._client.enable_next,
            service_no,
            dynpasswd1,
            dynpasswd2,
            user_name,
            id_type,
            id,
            mobile,
            tel,
            post,
            email,
            address,
        )

    async def disable(
        self,
        card_no: int,
        service_no: str,
        id_code: str,
        app_no: int,
        app_no2: int,
        account: str | None,
        operator_name: str | None,
    ) -> Result:
        """Take a card out of service. See :meth:`Client.disable`."""
        return await self._run(
            self._client.disable,
            card_no,
            service_no,
            id_code,
            app_no,
            app_no2,
            account,
            operator_name,
        )

    async def loss(
        self,
        card_no: int,
        service_no: str,
        type: int,
        app_no: int,
        app_no2: int,
        account: str | None,
        operator_name: str | None,
    ) -> Result:
        """Report a card lost. See :meth:`Client.loss`."""
        return await self._run(
            self._client.loss, card_no, service_no, type, app_no, app_no2, account, operator_name
        )

    async def unloss(
        self, card_no: int, service_no: str, dynpasswd: int, operator_name: str | None
    ) -> Result:
        """Withdraw a card's loss report. See :meth:`Client.unloss`."""
        return await self._run(self._client.unloss, card_no, service_no, dynpasswd, operator_name)

    async def unloss_next(
        self,
        card_no: int,
        service_no: str,
        dynpasswd1: int,
        dynpasswd2: int,
        operator_name: str | None,
    ) -> Result:
        """Withdraw a loss report, proven by two consecutive one-time passwords.

        See :meth:`Client.unloss_next`.
        """
        return await self._run(
            self._client.unloss_next, card_no, service_no, dynpasswd1, dynpasswd2, operator_name
        )

    async def bind_info_query(self, card_no: int, dynpasswd: int) -> BindingsResult:
        """List the accounts a card is bound to. See :meth:`Client.bind_info_query`."""
        return await self._run(self._client.bind_info_query, card_no, dynpasswd)

    async def bind_info_query_next(
        self, card_no: int, dynpasswd1: int, dynpasswd2: int
    ) -> BindingsResult:
        """List a card's bindings, proven by two consecutive one-time passwords.

        See :meth:`Client.bind_info_query_next`.
        """
        return await self._run(self._client.bind_info_query_next, card_no, dynpasswd1, dynpasswd2)

    async def status(self, card_no: int) -> StatusResult:
        """Ask for a card's status and expiry. See :meth:`Client.status`."""
        return await self._run(self._client.status, card_no)

    async def change(
        self, card_no_old: int, service_no_old: str, service_no_new: str, dynpasswd: int
    ) -> Result:
        """Replace a card by a new one. See :meth:`Client.change`."""
        return await self._run(
            self._client.change, card_no_old, service_no_old, service_no_new, dynpasswd
        )

    async def change_next(
        self,
        card_no_old: int,
        service_no_old: str,
        service_no_new: str,
        dynpasswd1: int,
        dynpasswd2: int,
    ) -> Result:
        """Replace a card, proven by two consecutive one-time passwords.

        See :meth:`Client.change_next`.
        """
        return await self._run(
            self._client.change_next,
            card_no_old,
            service_no_old,
            service_no_new,
            dynpasswd1,
            dynpasswd2,
        )

    async def modify_info(
        self,
        card_no: int,
        dynpasswd: int,
        user_name: str | None,
        id_type: int,
        id: str | None,
        mobile: str | None,
        tel: str | None,
        post: str | None,
        email: str | None,
        address: str | None,
    ) -> Result:
        """Change the holder's profile. See :meth:`Client.modify_info`."""
        return await self._run(
            self._client.modify_info,
            card_no,
            dynpasswd,
            user_name,
            id_type,
            id,
            mobile,
            tel,
            post,
            email,
            address,
        )

    async def modify_info_next(
        self,
        card_no: int,
        dynpasswd1: int,
        dynpasswd2: int,
        user_name: str | None,
        id_type: int,
        id: str | None,
        mobile: str | None,
        tel: str | None,
        post: str | None,
        email: str | None,
        address: str | None,
    ) -> Result:
        """Change the holder's profile, proven by two consecutive one-time passwords.

        See :meth:`Client.modify_info_next`.
        """
        return await self._run(
            self._client.modify_info_next,
            card_no,
            dynpasswd1,
            dynpasswd2,
            user_name,
            id_type,
            id,
            mobile,
            tel,
            post,
            email,
            address,
        )

    async def bind_esale(self, card_no: int, dynpasswd: int) -> PasswordResult:
        """Link the card to the e-sale account kind. See :meth:`Client.bind_esale`."""
        return await self._run(self._client.bind_esale, card_no, dynpasswd)

    async def bind_esale_next(
        self, card_no: int, dynpasswd1: int, dynpasswd2: int
    ) -> PasswordResult:
        """Link the card to the e-sale account kind with two consecutive one-time passwords.

        See :meth:`Client.bind_esale_next`.
        """
        return await self._run(self._client.bind_esale_next, card_no, dynpasswd1, dynpasswd2)

    async def bind_other(self, card_no: int, dynpasswd: int) -> PasswordResult:
        """Link the card to a further account kind. See :meth:`Client.bind_other`."""
        return await self._run(self._client.bind_other, card_no, dynpasswd)

    async def bind_other_next(
        self, card_no: int, dynpasswd1: int, dynpasswd2: int
    ) -> PasswordResult:
        """Link the card to a further account kind with two consecutive one-time passwords.

        See :meth:`Client.bind_other_next`.
        """
        return await self._run(self._client.bind_other_next, card_no, dynpasswd1, dynpasswd2)
